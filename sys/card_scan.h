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
};

// Scans the PCI buses, fills the driver's CardTable and RelocationAddress,
// copies the table into the reply and returns its Status.
uint32_t EnumerateCards(PELMIX_DEVICE_LIST* reply);

// 0 and the entry of the target; 2 for an empty table; 3 for an unlisted
// target (entry null on failure).
uint32_t FindCard(uint32_t bus, uint32_t device, uint32_t function, const PELMIX_DEVICE_ENTRY** entry);

// RelocationAddress when the last scan looked at every device and found its
// slot free; 0 when no slot is known to be free: moving BAR 0x10 there could
// put it over another decoder, and leaving it in place would put the ROM
// decoder over the live BAR.
uint32_t FreeRelocationAddress();

// The ROM decoder size of an entry FindCard gave.
uint32_t RomDecoderSize(const PELMIX_DEVICE_ENTRY* entry);

#endif
