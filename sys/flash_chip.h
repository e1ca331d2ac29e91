// The flash chip steps: command writes, identification, block reads, page
// programming and chip erase. They run only inside an open ROM access phase,
// through the RomWindow and RegisterWindow of its record.
#ifndef PELMIX_FLASH_CHIP_H
#define PELMIX_FLASH_CHIP_H

#include <stdint.h>

#include "flash_chip_table.h"
#include "rom_access.h"

#define PELMIX_CHIP_BLOCK_SIZE 128u

// One byte store at the chip offset, then a 32-bit read of register 0.
void ChipWrite(const RomPhaseRecord* phase, uint32_t offset, uint8_t value);
// Reads the identification code (maker in bits 0..7, device in bits 8..15)
// into the phase with the chip's row, which the erase and program steps
// follow.
void IdentifyChip(RomPhaseRecord* phase);
// 128 bytes from the chip offset, as 32 reads of 32 bits.
void ReadBlock(const RomPhaseRecord* phase, uint8_t* destination, uint32_t offset);
// Programs 128 bytes at the chip offset by the method of the phase's chip;
// 1 on success, 0 when a byte or the page did not complete in time.
int ProgramPage(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset);
// Erases the whole chip and waits the chip's fixed erase time.
void EraseChip(const RomPhaseRecord* phase);

#endif
