// The ROM access phase: while it is open the card's flash chip answers as
// plain memory through a window mapped at the bus address of the card's BAR
// 0x10, whose decoder has been moved aside and replaced by the expansion ROM
// decoder, with every processor held.
#ifndef PELMIX_ROM_ACCESS_H
#define PELMIX_ROM_ACCESS_H

#include <stdint.h>

#include "card_access_sets.h"
#include "flash_chip_table.h"
#include "pelmix_ioctl.h"

// Size of the ROM window every chip operation maps, whatever the chip's size.
#define PELMIX_ROM_WINDOW_SIZE 0x20000u

// An open phase, as BeginRomAccess hands it to the chip steps and
// EndRomAccess takes it back: everything the phase knows of the card and
// its chip, held by the request for the phase's length. The windows are
// reached only through the platform's volatile accessors.
struct RomPhaseRecord {
    uint32_t Bus, Device, Function;
    uint32_t RomWindowSize;
    const PELMIX_DEVICE_ENTRY* Entry;  // the target in the card table
    const CardAccessSet* AccessSet;    // chosen by the entry's Family
    void* RegisterWindow;              // the card's 32-bit registers at byte offsets
    void* RomWindow;                   // offset i is chip byte i
    // What the access set saved at the opening, for its restore at the close.
    uint32_t SavedCardRegisters[CardSavedRegisterCount];
    // Set by IdentifyChip: the code the chip answered and the row the chip
    // steps follow (UnknownChipRow for a code not listed, and until then).
    uint32_t ChipId;
    const FlashChipRow* Chip;
    uint32_t RelocationAddress;  // where BAR 0x10 went
    bool MemoryTurnedOn;         // the phase switched memory decoding on
};

// 0 with the phase open and described by the record, or 2, 3 (target not
// found), 4 (register window not mapped), 5 (ROM window not mapped, no slot
// known to be free for BAR 0x10, or the card not reading back as a
// configuration write of the phase left it), 8, 10, 11 (processor hold),
// with nothing on the card changed and nothing mapped.
uint32_t BeginRomAccess(uint32_t bus, uint32_t device, uint32_t function, uint32_t romWindowSize,
                        RomPhaseRecord* phase);
// Undoes every change of BeginRomAccess in reverse, releases the processors
// and unmaps both windows.
void EndRomAccess(const RomPhaseRecord* phase);

// Translates a memory-space bus address of the bus and maps size bytes
// (rounded up to whole 4-KB pages), non-cached; null on failure.
void* MapBusWindow(uint32_t busAddress, uint32_t bus, uint32_t size);
void UnmapBusWindow(void* mapping, uint32_t size);

#endif
