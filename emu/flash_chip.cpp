// JEDEC parallel flash: unlock cycles at the part's command addresses,
// identification mode, byte program, page load, chip and sector erase, data
// polling on bit 7 (and a toggling bit 6) while an operation runs, with
// completion times on the virtual clock.
#include "emu_text.h"
#include "jedec_flash.h"
#include "machine_state.h"

namespace {

// A page load ends when no byte has been loaded for this long.
const uint64_t PageLoadWindowUs = 150;

const EmuFunction* FunctionOf(const EmuCard* card)
{
    return &Machine.Functions[card->FunctionIndex];
}

int IsAddress1(const EmuChip* chip, uint32_t offset)
{
    return (offset & chip->Model->CommandMask) == chip->Model->Address1;
}

int IsAddress2(const EmuChip* chip, uint32_t offset)
{
    return (offset & chip->Model->CommandMask) == chip->Model->Address2;
}

uint32_t ProgramTimeUs(const EmuCard* card, int page)
{
    const EmuFault* slow = EmuFindFault(EmuFaultSlow, FunctionOf(card));
    if (slow)
        return slow->Value;
    const EmuFlashTimes& times = card->Chip.Model->Times;
    return page ? times.PageProgramUs : times.ByteProgramUs;
}

// Called once per programming attempt: a stuck fault with a count fails
// that many attempts at its byte, then lets the byte complete.
int StuckAt(const EmuCard* card, uint32_t first, uint32_t length, uint32_t* offset)
{
    const EmuFunction* function = FunctionOf(card);
    for (uint32_t i = 0; i < Machine.FaultCount; ++i) {
        EmuFault* fault = &Machine.Faults[i];
        if (fault->Kind != EmuFaultStuck || fault->Bus != function->Bus || fault->Device != function->Device ||
            fault->Function != function->Function)
            continue;
        uint32_t at = fault->Value & (card->Chip.Model->Size - 1);
        if (at - first >= length)
            continue;
        if (fault->Count != 0) {
            if (fault->Used >= fault->Count)
                continue;
            fault->Used += 1;
        }
        *offset = at;
        return 1;
    }
    return 0;
}

// The corrupt faults of the card, one at a time; null after the last.
EmuFault* NextCorrupt(const EmuCard* card, uint32_t* i)
{
    const EmuFunction* function = FunctionOf(card);
    for (; *i < Machine.FaultCount; ++*i) {
        EmuFault* fault = &Machine.Faults[*i];
        if (fault->Kind == EmuFaultCorrupt && fault->Bus == function->Bus && fault->Device == function->Device &&
            fault->Function == function->Function)
            return &Machine.Faults[(*i)++];
    }
    return nullptr;
}

uint32_t CorruptOffset(const EmuCard* card, const EmuFault* fault)
{
    return fault->Value & (card->Chip.Model->Size - 1);
}

// A byte programmed (first..first+length) stops reading wrong until the
// request that programmed it has ended, so its own data polling sees it right.
void MarkProgrammed(const EmuCard* card, uint32_t first, uint32_t length)
{
    uint32_t i = 0;
    while (EmuFault* fault = NextCorrupt(card, &i)) {
        if (CorruptOffset(card, fault) - first < length)
            fault->Armed = CorruptProgrammed;
    }
}

// The byte as a read in read mode sees it: complemented while a corrupt
// fault has reads left to spoil.
uint8_t ReadValue(const EmuCard* card, uint32_t offset)
{
    uint8_t value = card->Chip.Data[offset];
    uint32_t i = 0;
    while (EmuFault* fault = NextCorrupt(card, &i)) {
        if (fault->Armed != CorruptReading || CorruptOffset(card, fault) != offset)
            continue;
        if (fault->Count != 0) {
            if (fault->Used >= fault->Count)
                continue;
            fault->Used += 1;
        }
        value = static_cast<uint8_t>(~value);
    }
    return value;
}

void ToRest(EmuChip* chip)
{
    chip->Mode = chip->RestingMode;
}

// A sequence goes on to next on the write it expects; any other ends it.
void Advance(EmuChip* chip, int expected, uint8_t next)
{
    if (expected)
        chip->Mode = next;
    else
        ToRest(chip);
}

void StoreByte(EmuChip* chip, uint32_t offset, uint8_t value)
{
    uint8_t old = chip->Data[offset];
    uint8_t stored = EmuFlashHas(chip->Model, EmuFlashClearsOnly) ? static_cast<uint8_t>(old & value) : value;
    if (stored != old)
        chip->Dirty = 1;
    chip->Data[offset] = stored;
}

// The operation in progress ends: its data lands, except a stuck byte.
void Complete(EmuChip* chip)
{
    switch (chip->Busy) {
    case EmuBusyByte:
        if (!chip->Stuck)
            StoreByte(chip, chip->BusyOffset, chip->BusyValue);
        break;
    case EmuBusyPage:
        // The part erases the page itself: bytes not loaded read 0xFF.
        for (uint32_t i = 0; i < EmuPageSize; ++i) {
            uint32_t offset = chip->PageBase + i;
            if (chip->Stuck && offset == chip->StuckOffset)
                continue;
            StoreByte(chip, offset, chip->PageLoaded[i] ? chip->PageBuffer[i] : 0xFF);
        }
        break;
    case EmuBusyErase:
        for (uint32_t i = 0; i < chip->BusyLength; ++i) {
            if (chip->Data[chip->BusyOffset + i] != 0xFF)
                chip->Dirty = 1;
            chip->Data[chip->BusyOffset + i] = 0xFF;
        }
        break;
    default: break;
    }
    chip->Busy = EmuBusyNone;
    chip->Stuck = 0;
}

void StartPageProgram(EmuCard* card)
{
    EmuChip* chip = &card->Chip;
    ToRest(chip);
    if (chip->LoadedCount == 0)
        return;
    EmuLogChipCommand(card, EmuCommandPage, chip->Unlock1, chip->Unlock2, chip->PageBase, chip->LoadedCount);
    MarkProgrammed(card, chip->PageBase, EmuPageSize);
    chip->Busy = EmuBusyPage;
    chip->BusyUntilUs = chip->LastLoadUs + ProgramTimeUs(card, 1);
    chip->Stuck = static_cast<uint8_t>(StuckAt(card, chip->PageBase, EmuPageSize, &chip->StuckOffset));
}

// Brings the chip up to the present virtual time.
void Settle(EmuCard* card)
{
    EmuChip* chip = &card->Chip;
    uint64_t now = EmuNowUs();
    if (chip->Mode == EmuChipModePageLoad && chip->LoadedCount > 0 && now - chip->LastLoadUs >= PageLoadWindowUs)
        StartPageProgram(card);
    if (chip->Busy != EmuBusyNone && !chip->Stuck && now >= chip->BusyUntilUs)
        Complete(chip);
}

void StartErase(EmuCard* card, uint32_t offset, uint32_t length, uint32_t timeUs, uint32_t kind)
{
    EmuChip* chip = &card->Chip;
    EmuLogChipCommand(card, kind, chip->Unlock1, chip->Unlock2, offset, 0);
    chip->Busy = EmuBusyErase;
    chip->BusyOffset = offset;
    chip->BusyLength = length;
    chip->BusyValue = 0xFF;
    chip->BusyUntilUs = EmuNowUs() + timeUs;
    chip->RestingMode = EmuChipModeRead;
    chip->Mode = EmuChipModeRead;
}

void LoadPageByte(EmuCard* card, uint32_t offset, uint8_t value)
{
    EmuChip* chip = &card->Chip;
    if (chip->LoadedCount == 0) {
        chip->PageBase = offset & ~(EmuPageSize - 1u);
        EmuFill(chip->PageLoaded, 0, EmuPageSize);
    } else if ((offset & ~(EmuPageSize - 1u)) != chip->PageBase) {
        card->LostChipWrites += 1;  // outside the page being loaded
        return;
    }
    uint32_t index = offset & (EmuPageSize - 1u);
    if (!chip->PageLoaded[index])
        chip->LoadedCount += 1;
    chip->PageLoaded[index] = 1;
    chip->PageBuffer[index] = value;
    chip->BusyValue = value;
    chip->BusyOffset = offset;
    chip->LastLoadUs = EmuNowUs();
}

void ProgramByte(EmuCard* card, uint32_t offset, uint8_t value)
{
    EmuChip* chip = &card->Chip;
    EmuLogChipCommand(card, EmuCommandProgram, chip->Unlock1, chip->Unlock2, offset, value);
    MarkProgrammed(card, offset, 1);
    chip->Busy = EmuBusyByte;
    chip->BusyOffset = offset;
    chip->BusyValue = value;
    chip->BusyUntilUs = EmuNowUs() + ProgramTimeUs(card, 0);
    chip->Stuck = static_cast<uint8_t>(StuckAt(card, offset, 1, &chip->StuckOffset));
    ToRest(chip);
}

// The third write of an unlocked sequence.
void Command(EmuCard* card, uint32_t offset, uint8_t value)
{
    EmuChip* chip = &card->Chip;
    // After the unlock cycles 0xF0 resets at any address.
    if (!IsAddress1(chip, offset) && value != JedecReset) {
        ToRest(chip);
        return;
    }
    switch (value) {
    case JedecIdentify:
        EmuLogChipCommand(card, EmuCommandIdentify, chip->Unlock1, chip->Unlock2, offset, value);
        if (EmuFlashHas(chip->Model, EmuFlashAnswersId))
            chip->RestingMode = EmuChipModeId;
        ToRest(chip);
        break;
    case JedecReset:
        EmuLogChipCommand(card, EmuCommandExit, chip->Unlock1, chip->Unlock2, offset, value);
        chip->RestingMode = EmuChipModeRead;
        ToRest(chip);
        break;
    case JedecProgram:
        if (EmuFlashHas(chip->Model, EmuFlashPageLoad)) {
            chip->Mode = EmuChipModePageLoad;
            chip->LoadedCount = 0;
        } else {
            chip->Mode = EmuChipModeProgram;
        }
        break;
    case JedecErase: chip->Mode = EmuChipModeEraseSetup; break;
    default: ToRest(chip); break;
    }
}

void EraseCommand(EmuCard* card, uint32_t offset, uint8_t value)
{
    EmuChip* chip = &card->Chip;
    const EmuFlashModel* model = chip->Model;
    if (value == JedecChipErase && IsAddress1(chip, offset)) {
        StartErase(card, 0, model->Size, model->Times.ChipEraseUs, EmuCommandChipErase);
    } else if (value == JedecSectorErase && EmuFlashHas(model, EmuFlashSectors)) {
        StartErase(card, offset & ~0xFFFu, 0x1000, model->Times.SectorEraseUs, EmuCommandSectorErase);
    } else {
        ToRest(chip);
    }
}

}  // namespace

void EmuChipReset(EmuChip* chip, const EmuFlashModel* model)
{
    EmuFill(chip, 0, sizeof *chip);
    chip->Model = model;
    EmuFill(chip->Data, 0xFF, EmuChipCapacity);
}

uint8_t EmuChipRead(EmuCard* card, uint32_t offset)
{
    EmuChip* chip = &card->Chip;
    offset &= chip->Model->Size - 1;
    if (chip->Mode == EmuChipModePageLoad)
        StartPageProgram(card);  // a read ends the load at once
    Settle(card);
    if (chip->Busy != EmuBusyNone) {
        uint8_t status =
            static_cast<uint8_t>((~chip->BusyValue & JedecDataPollBit) | (chip->ToggleBit ? JedecToggleBit : 0));
        chip->ToggleBit ^= 1;
        return status;
    }
    if (chip->RestingMode == EmuChipModeId) {
        uint16_t id = chip->Model->ChipId;
        return static_cast<uint8_t>((offset & 1) ? id >> 8 : id);
    }
    return ReadValue(card, offset);
}

void EmuChipWrite(EmuCard* card, uint32_t offset, uint8_t value)
{
    EmuChip* chip = &card->Chip;
    offset &= chip->Model->Size - 1;
    Settle(card);
    if (chip->Busy != EmuBusyNone) {
        // Commands are ignored while the part is busy; a reset ends an
        // operation that would never finish.
        if (value == JedecReset && chip->Stuck) {
            EmuLogChipCommand(card, EmuCommandReset, 0, 0, offset, value);
            Complete(chip);
            chip->RestingMode = EmuChipModeRead;
            ToRest(chip);
        } else {
            card->LostChipWrites += 1;
        }
        return;
    }
    switch (chip->Mode) {
    case EmuChipModeProgram: ProgramByte(card, offset, value); return;
    case EmuChipModePageLoad: LoadPageByte(card, offset, value); return;
    default: break;
    }
    if (value == JedecReset && chip->Mode != EmuChipModeUnlock2 && chip->Mode != EmuChipModeEraseUnlock2) {
        EmuLogChipCommand(card, EmuCommandReset, 0, 0, offset, value);
        chip->RestingMode = EmuChipModeRead;
        chip->Mode = EmuChipModeRead;
        return;
    }
    switch (chip->Mode) {
    case EmuChipModeRead:
    case EmuChipModeId:
        if (value == JedecUnlock1 && IsAddress1(chip, offset)) {
            chip->Mode = EmuChipModeUnlock1;
            chip->Unlock1 = offset;
        }
        break;
    case EmuChipModeUnlock1:
        if (value == JedecUnlock2 && IsAddress2(chip, offset)) {
            chip->Mode = EmuChipModeUnlock2;
            chip->Unlock2 = offset;
        } else {
            ToRest(chip);
        }
        break;
    case EmuChipModeUnlock2: Command(card, offset, value); break;
    case EmuChipModeEraseSetup:
        Advance(chip, value == JedecUnlock1 && IsAddress1(chip, offset), EmuChipModeEraseUnlock1);
        break;
    case EmuChipModeEraseUnlock1:
        Advance(chip, value == JedecUnlock2 && IsAddress2(chip, offset), EmuChipModeEraseUnlock2);
        break;
    case EmuChipModeEraseUnlock2: EraseCommand(card, offset, value); break;
    default: ToRest(chip); break;
    }
}

void EmuChipSettle(EmuCard* card)
{
    if (card->Chip.Model)
        Settle(card);
}

void EmuChipAbort(EmuCard* card)
{
    EmuChip* chip = &card->Chip;
    if (!chip->Model)
        return;
    if (chip->Mode == EmuChipModePageLoad)
        StartPageProgram(card);
    Settle(card);
    if (chip->Busy != EmuBusyNone && chip->Stuck)
        Complete(chip);
}

void EmuChipDecoderOff(EmuCard* card)
{
    if (!card->Chip.Model)
        return;
    uint32_t i = 0;
    while (EmuFault* fault = NextCorrupt(card, &i)) {
        if (fault->Armed == CorruptProgrammed)
            fault->Armed = CorruptReading;
    }
}
