// The request operations that reach the flash chip. Each opens the ROM access
// phase for the record's target, works on the chip, closes the phase, writes
// the result code into the record's Status and returns it.
#ifndef PELMIX_CHIP_REQUESTS_H
#define PELMIX_CHIP_REQUESTS_H

#include <stdint.h>

#include "pelmix_ioctl.h"

// The whole-chip requests end with 5 (the ROM cannot be mapped), the chip
// untouched, when the card's ROM decoder is smaller than the identified chip.
uint32_t ReadRom(PELMIX_ROM_TRANSFER* record);
uint32_t WriteRom(PELMIX_ROM_TRANSFER* record, int preErased);
// Page records carry PageCount pages of data from offset 24 on; pages
// beyond the chip or the ROM decoder end with 13.
uint32_t ReadPages(PELMIX_PAGE_TRANSFER* record);
uint32_t WritePages(PELMIX_PAGE_TRANSFER* record, int preErased);
uint32_t EraseRom(PELMIX_REQUEST_HEADER* record);
uint32_t QueryChip(PELMIX_CHIP_INFO* record);

// Size in bytes of the chip of the last identification.
uint32_t IdentifiedChipSize();

#endif
