// Orvel cards: the register window behind BAR 0x14 and the conditions under
// which the flash chip behind the expansion ROM decoder answers.
//
// The registers that the driver's access sets save and restore come in pairs
// whose reads and writes cross: a read of one register returns the value
// last written to its partner (family 1: 0x00/0x0C and 0x04/0x08; families
// 2 to 4: 0x00/0x04). That is why the driver restores each saved value to
// the partner register; a straight restore leaves the card changed.
//
// The chip answers only while the card is prepared as its access set leaves
// it, and only after the registers have settled for 67 ms since the last
// register write:
//   family 1:    0x00, 0x04, 0x08, 0x0C read 0
//   family 2, 3: 0x00, 0x04 read 0; 0x147C bit 10 set; 0x1480 bits 0 and 1 clear
//   family 4:    0x00, 0x04 read 0; 0x80 bit 0 clear
#include "machine_state.h"
#include "orvel_registers.h"

namespace {

const uint64_t SettleUs = 67000;

struct RegisterDefault {
    uint32_t Offset;
    uint32_t Value;
};

// Values the card reads at power-up: none of them prepared.
const RegisterDefault DefaultsA[] = {
    {OrvelRegister00, 0x1F000101},
    {OrvelRegister04, 0x00C00002},
    {OrvelRegister08, 0x0000F003},
    {OrvelRegister0C, 0x80000004},
};
const RegisterDefault DefaultsB[] = {
    {OrvelRegister00, 0x21000101},
    {OrvelRegister04, 0x0300C002},
    {OrvelRegister147C, 0x00000021},
    {OrvelRegister1480, 0x00000013},
};
const RegisterDefault DefaultsC[] = {
    {OrvelRegister00, 0x31000101},
    {OrvelRegister04, 0x0400D002},
    {OrvelRegister80, 0x00000101},
};

const RegisterDefault* const Defaults[] = {DefaultsA, DefaultsB, DefaultsC};
const uint32_t DefaultCounts[] = {sizeof DefaultsA / sizeof DefaultsA[0], sizeof DefaultsB / sizeof DefaultsB[0],
                                  sizeof DefaultsC / sizeof DefaultsC[0]};

uint32_t Partner(const OrvelFamily* family, uint32_t offset)
{
    if (family->AccessSet == OrvelAccessA) {
        switch (offset) {
        case OrvelRegister00: return OrvelRegister0C;
        case OrvelRegister0C: return OrvelRegister00;
        case OrvelRegister04: return OrvelRegister08;
        case OrvelRegister08: return OrvelRegister04;
        default: return offset;
        }
    }
    if (offset == OrvelRegister00)
        return OrvelRegister04;
    if (offset == OrvelRegister04)
        return OrvelRegister00;
    return offset;
}

}  // namespace

void EmuInitCard(EmuCard* card, int functionIndex, const OrvelFamily* family)
{
    card->FunctionIndex = functionIndex;
    card->Family = family;
    for (uint32_t& latch : card->Latch)
        latch = 0;
    card->LastRegisterWriteUs = 0;
    card->LostChipWrites = 0;
    const RegisterDefault* defaults = Defaults[family->AccessSet];
    for (uint32_t i = 0; i < DefaultCounts[family->AccessSet]; ++i)
        EmuCardSetRegisterReadValue(card, defaults[i].Offset, defaults[i].Value);
}

uint32_t EmuCardWindowSize(const EmuCard* card)
{
    return card->Family->RegisterWindowSize;
}

uint32_t EmuCardRegisterRead(const EmuCard* card, uint32_t offset)
{
    offset &= ~3u;
    if (offset >= EmuCardWindowSize(card))
        return 0;
    return card->Latch[Partner(card->Family, offset) / 4];
}

void EmuCardRegisterWrite(EmuCard* card, uint32_t offset, uint32_t value)
{
    offset &= ~3u;
    if (offset >= EmuCardWindowSize(card))
        return;
    card->Latch[offset / 4] = value;
    // +1 so that a write at virtual time 0 still counts as a write.
    card->LastRegisterWriteUs = EmuNowUs() + 1;
}

void EmuCardSetRegisterReadValue(EmuCard* card, uint32_t offset, uint32_t value)
{
    offset &= ~3u;
    if (offset < EmuCardWindowSize(card))
        card->Latch[Partner(card->Family, offset) / 4] = value;
}

int EmuCardPrepared(const EmuCard* card)
{
    if (card->LastRegisterWriteUs != 0 && EmuNowUs() + 1 - card->LastRegisterWriteUs < SettleUs)
        return 0;
    uint32_t r00 = EmuCardRegisterRead(card, OrvelRegister00);
    uint32_t r04 = EmuCardRegisterRead(card, OrvelRegister04);
    switch (card->Family->AccessSet) {
    case OrvelAccessA:
        return r00 == 0 && r04 == 0 && EmuCardRegisterRead(card, OrvelRegister08) == 0 &&
            EmuCardRegisterRead(card, OrvelRegister0C) == 0;
    case OrvelAccessB:
        return r00 == 0 && r04 == 0 && (EmuCardRegisterRead(card, OrvelRegister147C) & Orvel147CRomOn) &&
            (EmuCardRegisterRead(card, OrvelRegister1480) & Orvel1480RomOff) == 0;
    case OrvelAccessC: return r00 == 0 && r04 == 0 && (EmuCardRegisterRead(card, OrvelRegister80) & Orvel80RomOff) == 0;
    default: return 0;
    }
}
