// Waits in milliseconds, at any IRQL: a sleep where the thread may give up
// its processor, a busy wait where it may not (inside the ROM access phase,
// with every processor held).
#ifndef PELMIX_DELAY_H
#define PELMIX_DELAY_H

#include <stdint.h>

// Sleeps at PASSIVE_LEVEL, busy-waits above it.
void DelayMs(uint32_t milliseconds);

#endif
