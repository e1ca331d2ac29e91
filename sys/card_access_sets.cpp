#include "card_access_sets.h"

#include "delay.h"
#include "driver_state.h"
#include "platform.h"

namespace {

const uint32_t SettleMs = 67;

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
    saved[0] = Read(registers, 0x00);
    saved[1] = Read(registers, 0x04);
    saved[2] = Read(registers, 0x08);
    saved[3] = Read(registers, 0x0C);
    Write(registers, 0x00, 0);
    Write(registers, 0x04, 0);
    Write(registers, 0x08, 0);
    Write(registers, 0x0C, 0);
    DelayMs(SettleMs);
}

void RestoreA(void* registers)
{
    const uint32_t* saved = Driver.SavedCardRegisters;
    Write(registers, 0x0C, saved[0]);
    DelayMs(SettleMs);
    Write(registers, 0x08, saved[1]);
    Write(registers, 0x04, saved[2]);
    Write(registers, 0x00, saved[3]);
}

uint32_t WindowSizeA()
{
    return 0x2000;
}

// ---- Set B: 0x147C, 0x1480, then 0x00 and 0x04 (partners).

void PrepareB(void* registers)
{
    uint32_t* saved = Driver.SavedCardRegisters;
    saved[0] = Read(registers, 0x147C);
    saved[1] = Read(registers, 0x1480);
    saved[2] = Read(registers, 0x00);
    saved[3] = Read(registers, 0x04);
    Write(registers, 0x147C, saved[0] | 0x400);
    Write(registers, 0x1480, saved[1] & ~3u);
    DelayMs(SettleMs);
    Write(registers, 0x00, 0);
    Write(registers, 0x04, 0);
    DelayMs(SettleMs);
}

void RestoreB(void* registers)
{
    const uint32_t* saved = Driver.SavedCardRegisters;
    Write(registers, 0x04, saved[2]);
    Write(registers, 0x00, saved[3]);
    DelayMs(SettleMs);
    Write(registers, 0x1480, saved[1]);
    Write(registers, 0x147C, saved[0]);
}

// ---- Set C: 0x00 and 0x04 (partners), and bit 0 of 0x80.

void PrepareC(void* registers)
{
    uint32_t* saved = Driver.SavedCardRegisters;
    saved[0] = Read(registers, 0x00);
    saved[1] = Read(registers, 0x04);
    Write(registers, 0x80, Read(registers, 0x80) & ~1u);
    DelayMs(SettleMs);
    Write(registers, 0x00, 0);
    Write(registers, 0x04, 0);
    DelayMs(SettleMs);
}

void RestoreC(void* registers)
{
    const uint32_t* saved = Driver.SavedCardRegisters;
    Write(registers, 0x04, saved[0]);
    Write(registers, 0x00, saved[1]);
    DelayMs(SettleMs);
    Write(registers, 0x80, Read(registers, 0x80) | 1u);
}

uint32_t WindowSizeBC()
{
    return 0x4000;
}

}  // namespace

const CardAccessSet AccessSetA = {PrepareA, RestoreA, WindowSizeA};
const CardAccessSet AccessSetB = {PrepareB, RestoreB, WindowSizeBC};
const CardAccessSet AccessSetC = {PrepareC, RestoreC, WindowSizeBC};

const CardAccessSet* AccessSetForFamily(uint32_t family)
{
    switch (family) {
    case 2:
    case 3: return &AccessSetB;
    case 4: return &AccessSetC;
    default:
        // Families come from the card match table (1..4); 1 is set A.
        return &AccessSetA;
    }
}
