// The driver's static state, as a fresh load of the driver finds it.
#ifndef PELMIX_DRIVER_STATE_H
#define PELMIX_DRIVER_STATE_H

// Puts every piece of static driver state back to its load-time value. A real
// load gets this from the image; hosts that run many driver lifetimes in one
// process call it between them.
void ResetDriverState();

#endif
