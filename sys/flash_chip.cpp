#include "flash_chip.h"

#include "driver_state.h"
#include "platform.h"
#include "processor_hold.h"

namespace {

// Identification always enters and leaves by these offsets, whatever the chip.
const uint32_t IdentifyAddress1 = 0x5555;
const uint32_t IdentifyAddress2 = 0x2AAA;
const uint32_t IdentifyWaitMs = 20;

int ProgramByBytes(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset);
int ProgramWholePage(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset);

struct ChipRow {
    uint32_t ChipId;
    ChipParameterRecord Parameters;
    uint32_t ExitWaitMs;
    int (*Program)(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset);
};

const ChipRow ChipRows[] = {
    {0x351F, {20, 20, 0x5555, 0x2AAA, 0x20000}, 20, ProgramWholePage},
    {0x171F, {20, 20, 0x5555, 0x2AAA, 0x20000}, 20, ProgramByBytes},
    {0x2320, {0, 1500, 0x555, 0x2AA, 0x20000}, 1, ProgramByBytes},
    {0xD4BF, {10, 100, 0x5555, 0x2AAA, 0x10000}, 10, ProgramByBytes},
    {0xD5BF, {10, 100, 0x5555, 0x2AAA, 0x20000}, 10, ProgramByBytes},
    {0x9FDF, {10, 100, 0x5555, 0x2AAA, 0x20000}, 10, ProgramByBytes},
    {0x08BF, {10, 100, 0x5555, 0x2AAA, 0x20000}, 10, ProgramWholePage},
};
// Every code not listed above, among them 0xAA55 of a part that ignores the
// identification command.
const ChipRow OtherChipRow = {0, {10, 100, 0x5555, 0x2AAA, 0x20000}, 10, ProgramWholePage};

const NamedChip NamedChips[] = {
    {0x08BF, "SST29LE010", 128, 0, 0},
    {0x351F, "AT29LE010A", 128, 0, 0},
    {0xD4BF, "SST39VF512", 64, 4096, 1},
    {0xD5BF, "SST39VF010", 128, 4096, 1},
};

const ChipRow* RowFor(uint32_t chipId)
{
    for (const ChipRow& row : ChipRows) {
        if (row.ChipId == chipId)
            return &row;
    }
    return &OtherChipRow;
}

uint8_t ChipRead(const RomPhaseRecord* phase, uint32_t offset)
{
    return PlatformRead8(phase->RomWindow, offset);
}

void CommandPrefix(const RomPhaseRecord* phase, uint8_t command)
{
    const ChipParameterRecord& chip = Driver.ChipParameters;
    ChipWrite(phase, chip.CommandAddress1, 0xAA);
    ChipWrite(phase, chip.CommandAddress2, 0x55);
    ChipWrite(phase, chip.CommandAddress1, command);
}

// A programmed byte reads back as written within 40 us: first look after
// 20 us, then up to four more looks 5 us apart.
int ByteReady(const RomPhaseRecord* phase, uint32_t offset, uint8_t value)
{
    PlatformStallMicroseconds(20);
    if (ChipRead(phase, offset) == value)
        return 1;
    for (int retry = 0; retry < 4; ++retry) {
        PlatformStallMicroseconds(5);
        if (ChipRead(phase, offset) == value)
            return 1;
    }
    return 0;
}

int ProgramByBytes(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset)
{
    int ready = 0;
    for (uint32_t i = 0; i < PELMIX_CHIP_BLOCK_SIZE; ++i) {
        CommandPrefix(phase, 0xA0);
        ChipWrite(phase, offset + i, source[i]);
        ready = ByteReady(phase, offset + i, source[i]);
        if (!ready)
            break;
    }
    ChipWrite(phase, 0, 0xF0);  // back to read mode, after a failure too
    return ready;
}

// Data polling on the page's last byte: bit 7 reads inverted until the
// internal write is done.
int PageReady(const RomPhaseRecord* phase, uint32_t lastOffset, uint8_t lastValue)
{
    for (int poll = 0; poll < 6; ++poll) {
        DelayMs(Driver.ChipParameters.ProgramWaitMs / 6);
        if (((ChipRead(phase, lastOffset) ^ lastValue) & 0x80) == 0)
            return 1;
    }
    return 0;
}

int ProgramWholePage(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset)
{
    CommandPrefix(phase, 0xA0);
    for (uint32_t i = 0; i < PELMIX_CHIP_BLOCK_SIZE; ++i)
        ChipWrite(phase, offset + i, source[i]);
    const uint32_t last = PELMIX_CHIP_BLOCK_SIZE - 1;
    return PageReady(phase, offset + last, source[last]);
}

}  // namespace

void ChipWrite(const RomPhaseRecord* phase, uint32_t offset, uint8_t value)
{
    PlatformWrite8(phase->RomWindow, offset, value);
    (void)PlatformRead32(phase->RegisterWindow, 0);
}

uint32_t IdentifyChip(const RomPhaseRecord* phase)
{
    ChipWrite(phase, IdentifyAddress1, 0xAA);
    ChipWrite(phase, IdentifyAddress2, 0x55);
    ChipWrite(phase, IdentifyAddress1, 0x90);
    DelayMs(IdentifyWaitMs);

    uint32_t maker = ChipRead(phase, 0);
    uint32_t device = ChipRead(phase, 1);
    uint32_t chipId = maker + 256 * device;

    const ChipRow* row = RowFor(chipId);
    Driver.ChipParameters = row->Parameters;

    ChipWrite(phase, IdentifyAddress1, 0xAA);
    ChipWrite(phase, IdentifyAddress2, 0x55);
    ChipWrite(phase, IdentifyAddress1, 0xF0);
    DelayMs(row->ExitWaitMs);
    return chipId;
}

void ReadBlock(const RomPhaseRecord* phase, uint8_t* destination, uint32_t offset)
{
    for (uint32_t k = 0; k < PELMIX_CHIP_BLOCK_SIZE / 4; ++k) {
        uint32_t word = PlatformRead32(phase->RomWindow, offset + 4 * k);
        // Byte by byte: the destination need not be 4-byte aligned.
        destination[4 * k] = static_cast<uint8_t>(word);
        destination[4 * k + 1] = static_cast<uint8_t>(word >> 8);
        destination[4 * k + 2] = static_cast<uint8_t>(word >> 16);
        destination[4 * k + 3] = static_cast<uint8_t>(word >> 24);
    }
}

int ProgramPage(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset, uint32_t chipId)
{
    return RowFor(chipId)->Program(phase, source, offset);
}

void EraseChip(const RomPhaseRecord* phase)
{
    const ChipParameterRecord& chip = Driver.ChipParameters;
    CommandPrefix(phase, 0x80);
    CommandPrefix(phase, 0x10);
    DelayMs(chip.EraseWaitMs);
    ChipWrite(phase, chip.CommandAddress1, 0xAA);
    ChipWrite(phase, chip.CommandAddress2, 0x55);
    ChipWrite(phase, 0, 0xF0);
}

int ChipRequiresErase(uint32_t chipId)
{
    return chipId == 0xD5BF || chipId == 0xD4BF;
}

const NamedChip* FindNamedChip(uint32_t chipId)
{
    for (const NamedChip& chip : NamedChips) {
        if (chip.ChipId == chipId)
            return &chip;
    }
    return nullptr;
}
