// The PCI scan: the card table and the free relocation slot.
#ifndef PELMIX_CARD_SCAN_H
#define PELMIX_CARD_SCAN_H

#include <stdint.h>

#include "pelmix_ioctl.h"

struct CardTableRecord {
    uint32_t Status;
    uint32_t Count;
    PELMIX_DEVICE_ENTRY Entries[PELMIX_MAX_DEVICES];
    // Bytes each card's expansion ROM decoder spans (its ROM BAR's sizing);
    // 0 for none.
    uint32_t RomDecoderSize[PELMIX_MAX_DEVICES];
    // Bytes each card's BAR 0x10 spans; 0 when it could not be sized.
    uint32_t Bar0Size[PELMIX_MAX_DEVICES];
};

// A decoder of the function being scanned as the slot accounting sized it,
// kept so that a card's decoders are probed once.
struct ScannedDecoder {
    bool Probed;
    uint32_t Size;  // bytes it spans; 0 when it cannot be sized
};

// Scans the PCI buses, fills the driver's CardTable and RelocationAddress,
// copies the table into the reply and returns its Status.
uint32_t EnumerateCards(PELMIX_DEVICE_LIST* reply);

// 0 and the entry of the target; 2 for an empty table; 3 for an unlisted
// target (entry null on failure).
uint32_t FindCard(uint32_t bus, uint32_t device, uint32_t function, const PELMIX_DEVICE_ENTRY** entry);

// Where the phase moves BAR 0x10 of an entry FindCard gave: into slots the
// last scan looked at and found free, as many as the BAR spans,
// RelocationAddress when it serves, else the lowest run that does. 0 when
// none is known to be free or the BAR's span is not known: moved onto a
// taken slot it would decode over another device, and left in place it
// would answer beside the ROM decoder.
uint32_t FreeRelocationAddress(const PELMIX_DEVICE_ENTRY* entry);

// The ROM decoder size of an entry FindCard gave.
uint32_t RomDecoderSize(const PELMIX_DEVICE_ENTRY* entry);

#endif
