// The driver's one state record: everything the driver keeps from one
// request to the next, and the scratch of the scan and the processor hold.
// A fresh load finds it as DriverStateRecord() makes it.
#ifndef PELMIX_DRIVER_STATE_H
#define PELMIX_DRIVER_STATE_H

#include <stdint.h>

#include "card_scan.h"
#include "platform.h"
#include "processor_hold.h"

// IdentifiedChipSize before any identification.
constexpr uint32_t LoadTimeChipSize = 0x20000;

struct DriverStateRecord {
    // The cards of the last scan; every request but the scan finds its target here.
    CardTableRecord CardTable {};
    // Bus address BAR 0x10 moves to during the ROM access phase; 0 = not moved.
    uint32_t RelocationAddress = 0;
    // The scan in progress: one bit per 64-MB slot of 0x80000000..0xFFFFFFFF.
    uint32_t SlotMask = 0;
    // The scan in progress: BAR 0x10 and the ROM BAR of the function it sizes.
    ScannedDecoder ScannedBar0 {};
    ScannedDecoder ScannedRom {};
    // The slots the last scan found taken, the top one always; all of them
    // before a scan and after one that stopped early.
    uint32_t TakenSlots = 0xFFFFFFFFu;
    // Its address is the start context of every holding thread.
    ProcessorHoldContext ProcessorHold {};
    // The size of the chip of the last identification: a ROM read's reply length.
    uint32_t IdentifiedChipSize = LoadTimeChipSize;
    // One request in the driver at a time; the platform initialises it.
    PlatformEvent RequestLock {};
};

extern DriverStateRecord Driver;

// Puts the whole record back to its load-time value and initialises the
// request lock. The driver entry calls it; hosts that run many driver
// lifetimes in one process call it between them.
void ResetDriverState();

// The last word before the driver image goes away: waits until no thread
// the driver started can run its code again, and returns 1.
int PrepareDriverUnload();

#endif
