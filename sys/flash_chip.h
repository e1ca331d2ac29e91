// The flash chip steps: command writes, identification, block reads, page
// programming and chip erase. They run only inside an open ROM access phase,
// through the RomWindow and RegisterWindow of its record.
#ifndef PELMIX_FLASH_CHIP_H
#define PELMIX_FLASH_CHIP_H

#include <stdint.h>

#include "rom_access.h"

#define PELMIX_CHIP_BLOCK_SIZE 128u

struct ChipParameterRecord {
    uint32_t ProgramWaitMs;    // page-method poll base; each of six polls waits a sixth
    uint32_t EraseWaitMs;      // fixed wait after the chip-erase command
    uint32_t CommandAddress1;  // first and third unlock/command write
    uint32_t CommandAddress2;  // second unlock write
    uint32_t ChipSize;         // bytes
};

// The driver's ChipParameters before any identification.
constexpr ChipParameterRecord LoadTimeChipParameters = {20, 20, 0x5555, 0x2AAA, 0x20000};

// One byte store at the chip offset, then a 32-bit read of register 0.
void ChipWrite(const RomPhaseRecord* phase, uint32_t offset, uint8_t value);
// Reads the identification code (maker in bits 0..7, device in bits 8..15)
// and sets the driver's ChipParameters from it; every identification
// overwrites them.
uint32_t IdentifyChip(const RomPhaseRecord* phase);
// 128 bytes from the chip offset, as 32 reads of 32 bits.
void ReadBlock(const RomPhaseRecord* phase, uint8_t* destination, uint32_t offset);
// Programs 128 bytes at the chip offset by the method of the chip's code;
// 1 on success, 0 when a byte or the page did not complete in time.
int ProgramPage(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset, uint32_t chipId);
// Erases the whole chip and waits the chip's fixed erase time.
void EraseChip(const RomPhaseRecord* phase);

// How a part takes a 128-byte page.
enum ChipProgramMethod {
    PROGRAM_BY_BYTES,   // one command per byte, each read back within 40 us
    PROGRAM_BY_PAGE,    // the page loaded back to back, then data polling
};

// One flash part, by its identification code.
struct FlashChipRow {
    uint32_t ChipId;
    const char* Name;                // 10 characters; null: the identification request names no such part
    uint32_t SectorSize;             // erase sector in bytes; 0 for parts written by whole pages
    uint32_t EraseRequired;          // 1: erased before a whole-chip write, page writes refused
    ChipParameterRecord Parameters;  // waits, command addresses and size
    uint32_t ExitWaitMs;             // after leaving identification mode
    ChipProgramMethod Method;
};

// The row of the code; a code not listed gets the row of unknown parts.
const FlashChipRow* FindChipRow(uint32_t chipId);
// The row of a part the identification request names, else null.
const FlashChipRow* FindNamedChip(uint32_t chipId);

#endif
