#include "card_access_sets.h"

#include "delay.h"
#include "driver_state.h"
#include "flash_chip_table.h"
#include "orvel_cards.h"
#include "orvel_registers.h"
#include "platform.h"

namespace {

uint32_t Read(void* registers, uint32_t offset)
{
    return PlatformRead32(registers, offset);
}

void Write(void* registers, uint32_t offset, uint32_t value)
{
    PlatformWrite32(registers, offset, value);
}

// The saved values go back crosswise: each is written to its partner
// register, not to the one it was read from.

// ---- Set A: registers 0x00, 0x04, 0x08, 0x0C; partners 0x00/0x0C and 0x04/0x08.

void PrepareA(void* registers)
{
    uint32_t* saved = Driver.SavedCardRegisters;
    saved[0] = Read(registers, OrvelRegister00);
    saved[1] = Read(registers, OrvelRegister04);
    saved[2] = Read(registers, OrvelRegister08);
    saved[3] = Read(registers, OrvelRegister0C);
    Write(registers, OrvelRegister00, 0);
    Write(registers, OrvelRegister04, 0);
    Write(registers, OrvelRegister08, 0);
    Write(registers, OrvelRegister0C, 0);
    DelayMs(CardSettleMs);
}

void RestoreA(void* registers)
{
    const uint32_t* saved = Driver.SavedCardRegisters;
    Write(registers, OrvelRegister0C, saved[0]);
    DelayMs(CardSettleMs);
    Write(registers, OrvelRegister08, saved[1]);
    Write(registers, OrvelRegister04, saved[2]);
    Write(registers, OrvelRegister00, saved[3]);
}

// ---- Set B: 0x147C, 0x1480, then 0x00 and 0x04 (partners).

void PrepareB(void* registers)
{
    uint32_t* saved = Driver.SavedCardRegisters;
    saved[0] = Read(registers, OrvelRegister147C);
    saved[1] = Read(registers, OrvelRegister1480);
    saved[2] = Read(registers, OrvelRegister00);
    saved[3] = Read(registers, OrvelRegister04);
    Write(registers, OrvelRegister147C, saved[0] | Orvel147CRomOn);
    Write(registers, OrvelRegister1480, saved[1] & ~Orvel1480RomOff);
    DelayMs(CardSettleMs);
    Write(registers, OrvelRegister00, 0);
    Write(registers, OrvelRegister04, 0);
    DelayMs(CardSettleMs);
}

void RestoreB(void* registers)
{
    const uint32_t* saved = Driver.SavedCardRegisters;
    Write(registers, OrvelRegister04, saved[2]);
    Write(registers, OrvelRegister00, saved[3]);
    DelayMs(CardSettleMs);
    Write(registers, OrvelRegister1480, saved[1]);
    Write(registers, OrvelRegister147C, saved[0]);
}

// ---- Set C: 0x00 and 0x04 (partners), and bit 0 of 0x80.

void PrepareC(void* registers)
{
    uint32_t* saved = Driver.SavedCardRegisters;
    saved[0] = Read(registers, OrvelRegister00);
    saved[1] = Read(registers, OrvelRegister04);
    Write(registers, OrvelRegister80, Read(registers, OrvelRegister80) & ~Orvel80RomOff);
    DelayMs(CardSettleMs);
    Write(registers, OrvelRegister00, 0);
    Write(registers, OrvelRegister04, 0);
    DelayMs(CardSettleMs);
}

void RestoreC(void* registers)
{
    const uint32_t* saved = Driver.SavedCardRegisters;
    Write(registers, OrvelRegister04, saved[0]);
    Write(registers, OrvelRegister00, saved[1]);
    DelayMs(CardSettleMs);
    Write(registers, OrvelRegister80, Read(registers, OrvelRegister80) | Orvel80RomOff);
}

// Families come from the card table; one it does not hold is taken as the
// first.
const OrvelFamily& FamilyRow(uint32_t family)
{
    const OrvelFamily* row = FindOrvelFamily(family);
    return row ? *row : OrvelFamilies[0];
}

}  // namespace

const CardAccessSet AccessSetA = {PrepareA, RestoreA};
const CardAccessSet AccessSetB = {PrepareB, RestoreB};
const CardAccessSet AccessSetC = {PrepareC, RestoreC};

const CardAccessSet* AccessSetForFamily(uint32_t family)
{
    switch (FamilyRow(family).AccessSet) {
    case OrvelAccessB: return &AccessSetB;
    case OrvelAccessC: return &AccessSetC;
    default: return &AccessSetA;
    }
}

uint32_t RegisterWindowSize(uint32_t family)
{
    return FamilyRow(family).RegisterWindowSize;
}
