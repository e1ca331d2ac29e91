#include "flash_chip.h"

#include "delay.h"
#include "jedec_flash.h"
#include "platform.h"

namespace {

// Identification always enters and leaves by these offsets, whatever the chip.
const uint32_t IdentifyAddress1 = JedecCommandAddress1;
const uint32_t IdentifyAddress2 = JedecCommandAddress2;

uint8_t ChipRead(const RomPhaseRecord* phase, uint32_t offset)
{
    return PlatformRead8(phase->RomWindow, offset);
}

void Unlock(const RomPhaseRecord* phase, uint32_t address1, uint32_t address2)
{
    ChipWrite(phase, address1, JedecUnlock1);
    ChipWrite(phase, address2, JedecUnlock2);
}

void Command(const RomPhaseRecord* phase, uint32_t address1, uint32_t address2, uint8_t command)
{
    Unlock(phase, address1, address2);
    ChipWrite(phase, address1, command);
}

// A command at the identified chip's own command addresses.
void ChipCommand(const RomPhaseRecord* phase, uint8_t command)
{
    const ChipParameterRecord& chip = phase->Chip->Parameters;
    Command(phase, chip.CommandAddress1, chip.CommandAddress2, command);
}

// A programmed byte reads back as written within ByteBudgetUs.
int ByteReady(const RomPhaseRecord* phase, uint32_t offset, uint8_t value)
{
    PlatformStallMicroseconds(ByteFirstLookUs);
    if (ChipRead(phase, offset) == value)
        return 1;
    for (uint32_t retry = 0; retry < ByteLooks; ++retry) {
        PlatformStallMicroseconds(ByteLookUs);
        if (ChipRead(phase, offset) == value)
            return 1;
    }
    return 0;
}

int ProgramByBytes(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset)
{
    int ready = 0;
    for (uint32_t i = 0; i < PELMIX_CHIP_BLOCK_SIZE; ++i) {
        ChipCommand(phase, JedecProgram);
        ChipWrite(phase, offset + i, source[i]);
        ready = ByteReady(phase, offset + i, source[i]);
        if (!ready)
            break;
    }
    ChipWrite(phase, 0, JedecReset);  // back to read mode, after a failure too
    return ready;
}

// Data polling on the page's last byte: bit 7 reads inverted until the
// internal write is done.
int PageReady(const RomPhaseRecord* phase, uint32_t lastOffset, uint8_t lastValue)
{
    for (uint32_t poll = 0; poll < PagePolls; ++poll) {
        DelayMs(phase->Chip->Parameters.ProgramWaitMs / PagePolls);
        if (((ChipRead(phase, lastOffset) ^ lastValue) & JedecDataPollBit) == 0)
            return 1;
    }
    return 0;
}

int ProgramWholePage(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset)
{
    ChipCommand(phase, JedecProgram);
    for (uint32_t i = 0; i < PELMIX_CHIP_BLOCK_SIZE; ++i)
        ChipWrite(phase, offset + i, source[i]);
    const uint32_t last = PELMIX_CHIP_BLOCK_SIZE - 1;
    return PageReady(phase, offset + last, source[last]);
}

// In the order of ChipProgramMethod.
int (*const ProgramMethods[])(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset) = {
    ProgramByBytes,
    ProgramWholePage,
};

}  // namespace

void ChipWrite(const RomPhaseRecord* phase, uint32_t offset, uint8_t value)
{
    PlatformWrite8(phase->RomWindow, offset, value);
    (void)PlatformRead32(phase->RegisterWindow, 0);
}

void IdentifyChip(RomPhaseRecord* phase)
{
    Command(phase, IdentifyAddress1, IdentifyAddress2, JedecIdentify);
    DelayMs(ChipIdentifyWaitMs);

    uint32_t maker = ChipRead(phase, 0);
    uint32_t device = ChipRead(phase, 1);
    phase->ChipId = maker + 256 * device;
    phase->Chip = FindChipRow(phase->ChipId);

    Command(phase, IdentifyAddress1, IdentifyAddress2, JedecReset);
    DelayMs(phase->Chip->ExitWaitMs);
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

int ProgramPage(const RomPhaseRecord* phase, const uint8_t* source, uint32_t offset)
{
    return ProgramMethods[phase->Chip->Method](phase, source, offset);
}

void EraseChip(const RomPhaseRecord* phase)
{
    const ChipParameterRecord& chip = phase->Chip->Parameters;
    ChipCommand(phase, JedecErase);
    ChipCommand(phase, JedecChipErase);
    DelayMs(chip.EraseWaitMs);
    Unlock(phase, chip.CommandAddress1, chip.CommandAddress2);
    ChipWrite(phase, 0, JedecReset);
}
