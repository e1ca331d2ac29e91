// The flash parts the driver knows, one row of named fields each: what the
// identification request reports, how a part is erased and programmed, and
// every wait the driver makes for it. Plain data, so user-mode tools that
// tell how long a request holds the processors read the same rows.
#ifndef PELMIX_FLASH_CHIP_TABLE_H
#define PELMIX_FLASH_CHIP_TABLE_H

#include <stdint.h>

struct ChipParameterRecord {
    uint32_t ProgramWaitMs;    // page-method poll base; each of the PagePolls waits its share
    uint32_t EraseWaitMs;      // fixed wait after the chip-erase command
    uint32_t CommandAddress1;  // first and third unlock/command write
    uint32_t CommandAddress2;  // second unlock write
    uint32_t ChipSize;         // bytes
};

// How a part takes a 128-byte page.
enum ChipProgramMethod {
    ByBytes,  // one command per byte, each read back within 40 us
    ByPage,   // the page loaded back to back, then data polling
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

// The waits beside the rows: the same for every part and every card.
// Identification waits this long in identification mode before the code is
// read, then the row's ExitWaitMs.
constexpr uint32_t ChipIdentifyWaitMs = 20;
// A programmed byte (byte method) is first looked at after ByteFirstLookUs,
// then up to ByteLooks more times ByteLookUs apart: ByteBudgetUs in all.
constexpr uint32_t ByteFirstLookUs = 20;
constexpr uint32_t ByteLookUs = 5;
constexpr uint32_t ByteLooks = 4;
constexpr uint32_t ByteBudgetUs = ByteFirstLookUs + ByteLooks * ByteLookUs;
// A page (page method) is polled this many times, a share of the row's
// ProgramWaitMs apart.
constexpr uint32_t PagePolls = 6;
// The card settles this long after the access sets' register writes; an
// access set settles at most CardSettlesPerPhase times to open and close a
// ROM access phase.
constexpr uint32_t CardSettleMs = 67;
constexpr uint32_t CardSettlesPerPhase = 3;

extern const FlashChipRow ChipRows[];
extern const uint32_t ChipRowCount;
// Every code not listed, among them 0xAA55 of a part that ignores the
// identification command.
extern const FlashChipRow UnknownChipRow;

// The row of the code; a code not listed gets the row of unknown parts.
const FlashChipRow* FindChipRow(uint32_t chipId);

#endif
