// Inspection of cards and chips for tests and tools; nothing here is seen by
// the driver or recorded in the trace.
#include "emu_text.h"
#include "machine_state.h"

namespace {

EmuCard* CardAt(uint32_t bus, uint32_t device, uint32_t function)
{
    return EmuCardOfFunction(EmuFindFunction(bus, device, function));
}

EmuChip* ChipAt(uint32_t bus, uint32_t device, uint32_t function)
{
    EmuCard* card = CardAt(bus, device, function);
    if (!card || !card->Chip.Model)
        return nullptr;
    return &card->Chip;
}

int RangeFits(const EmuChip* chip, uint32_t offset, uint32_t count)
{
    return offset <= chip->Model->Size && count <= chip->Model->Size - offset;
}

}  // namespace

int EmuCardRegister(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t* value)
{
    const EmuCard* card = CardAt(bus, device, function);
    if (!card)
        return 0;
    *value = EmuCardRegisterRead(card, offset);
    return 1;
}

uint32_t EmuCardLostChipWrites(uint32_t bus, uint32_t device, uint32_t function)
{
    const EmuCard* card = CardAt(bus, device, function);
    return card ? card->LostChipWrites : 0;
}

uint32_t EmuChipSize(uint32_t bus, uint32_t device, uint32_t function)
{
    const EmuChip* chip = ChipAt(bus, device, function);
    return chip ? chip->Model->Size : 0;
}

int EmuChipPeek(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint8_t* bytes, uint32_t count)
{
    const EmuChip* chip = ChipAt(bus, device, function);
    if (!chip || !RangeFits(chip, offset, count))
        return 0;
    EmuCopy(bytes, chip->Data + offset, count);
    return 1;
}

int EmuChipPoke(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, const uint8_t* bytes, uint32_t count)
{
    EmuChip* chip = ChipAt(bus, device, function);
    if (!chip || !RangeFits(chip, offset, count))
        return 0;
    EmuCopy(chip->Data + offset, bytes, count);
    return 1;
}

int EmuChipIdle(uint32_t bus, uint32_t device, uint32_t function)
{
    const EmuChip* chip = ChipAt(bus, device, function);
    if (!chip)
        return 0;
    int busy = chip->Busy != EmuBusyNone && (chip->Stuck || EmuNowUs() < chip->BusyUntilUs);
    return !busy && chip->Mode == EmuChipModeRead && chip->RestingMode == EmuChipModeRead;
}
