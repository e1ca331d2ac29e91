// Placeholder until the ROM access phase and the chip algorithms exist: every
// chip request answers that its target is unknown or not listed.
#include "chip_requests.h"

#include "card_scan.h"

static uint32_t Refuse(PELMIX_REQUEST_HEADER* header)
{
    const PELMIX_DEVICE_ENTRY* entry;
    uint32_t result = FindCard(header->Bus, header->Device, header->Function, &entry);
    if (result == PELMIX_RESULT_OK)
        result = PELMIX_RESULT_MAP_REGISTERS;
    header->Status = result;
    return result;
}

uint32_t ReadRom(PELMIX_ROM_TRANSFER* record) { return Refuse(&record->Header); }
uint32_t WriteRom(PELMIX_ROM_TRANSFER* record, int) { return Refuse(&record->Header); }
uint32_t ReadPages(PELMIX_PAGE_TRANSFER* record) { return Refuse(&record->Header); }
uint32_t WritePages(PELMIX_PAGE_TRANSFER* record, int) { return Refuse(&record->Header); }
uint32_t EraseRom(PELMIX_REQUEST_HEADER* record) { return Refuse(record); }
uint32_t QueryChip(PELMIX_CHIP_INFO* record) { return Refuse(&record->Header); }
uint32_t IdentifiedChipSize() { return PELMIX_ROM_DATA_SIZE; }
