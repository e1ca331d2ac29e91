// How long a whole-chip read or write keeps the screen stopped, from the
// waits the driver makes with the processors held: the card's settling in
// the ROM access phase, and the chip's own from the driver's chip table
// (identification, erase, page or byte completion polls). An upper bound:
// every poll taken to its limit.
#ifndef PELMIXCTL_CHIP_WAITS_H
#define PELMIXCTL_CHIP_WAITS_H

#include <stdint.h>

struct ChipWaits {
    uint32_t ChipId;      // 0: a chip the identification request does not name
    uint32_t ExitWaitMs;  // after leaving identification mode
    uint32_t EraseMs;     // whole-chip writes erase first; 0 when they don't
    uint32_t PageUs;      // longest a 128-byte page may take
};

// The waits of a chip the identification request named (Status 0), or the
// longest of the chips it does not name (any other Status).
const ChipWaits* WaitsOfChip(uint32_t identifyStatus, uint32_t chipId);

// Milliseconds the processors stay held for a whole-chip read and write of
// chipSize bytes.
uint32_t ReadHoldMs(const ChipWaits* waits);
uint32_t WriteHoldMs(const ChipWaits* waits, uint32_t chipSize);

#endif
