// The driver's static state, as a fresh load of the driver finds it.
#ifndef PELMIX_DRIVER_STATE_H
#define PELMIX_DRIVER_STATE_H

// Puts every piece of static driver state back to its load-time value and
// readies the request dispatcher. The driver entry calls it; hosts that run
// many driver lifetimes in one process call it between them.
void ResetDriverState();

// The last word before the driver image goes away: waits (bounded) until no
// thread the driver started can run its code again. 1 if none can.
int PrepareDriverUnload();

#endif
