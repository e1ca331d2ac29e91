// Memory-space decoding: a bus address reaches the one enabled decoder that
// claims it, a memory BAR of some function or an enabled expansion ROM
// decoder. Nobody, or more than one decoder, claiming it reads 0xFF bytes
// (the access floats) and loses writes.
#include "machine_state.h"
#include "pci_registers.h"

namespace {

enum ClaimKind { ClaimBar, ClaimRom };

struct Claim {
    uint32_t Count;
    EmuFunction* Function;
    uint32_t Kind;
    uint32_t Bar;
    uint32_t Offset;  // from the decoder's base
};

int MemoryEnabled(const EmuFunction* function)
{
    return (function->Config[PciCommand / 4] & PciCommandMemory) != 0;
}

// Base of memory BAR n, or 0 when it does not decode.
uint32_t BarBase(const EmuFunction* function, uint32_t bar)
{
    uint32_t size = function->BarSize[bar];
    if (size == 0)
        return 0;
    uint32_t index = PciBarOffset(bar) / 4;
    uint32_t value = function->Config[index];
    if (value & PciBarIoSpace)
        return 0;
    if ((value & PciBarMemoryType) == PciBarMemory64 && function->Config[index + 1] != 0)
        return 0;  // above 4 GB
    return value & ~(size - 1) & ~PciBarMemoryFlags;
}

uint32_t RomBase(const EmuFunction* function)
{
    uint32_t value = function->Config[PciRomBar / 4];
    if (function->RomSize == 0 || !(value & PciRomEnable))
        return 0;
    return value & ~(function->RomSize - 1) & ~PciRomFlags;
}

void Consider(Claim* claim, EmuFunction* function, uint32_t kind, uint32_t bar, uint32_t base, uint32_t size,
              uint32_t address)
{
    if (base == 0 || address - base >= size)
        return;
    claim->Count += 1;
    claim->Function = function;
    claim->Kind = kind;
    claim->Bar = bar;
    claim->Offset = address - base;
}

Claim Resolve(uint32_t address)
{
    Claim claim = {0, nullptr, 0, 0, 0};
    for (uint32_t i = 0; i < Machine.FunctionCount; ++i) {
        EmuFunction* function = &Machine.Functions[i];
        if (!MemoryEnabled(function))
            continue;
        uint32_t layout = EmuHeaderLayout(function);
        for (uint32_t bar = 0; bar < PciBarCount(layout); ++bar)
            Consider(&claim, function, ClaimBar, bar, BarBase(function, bar), function->BarSize[bar], address);
        if (layout == PciLayoutDevice)
            Consider(&claim, function, ClaimRom, 0, RomBase(function), function->RomSize, address);
    }
    return claim;
}

// What a card's own memory behind BAR 0x10 reads: a fixed pattern that no
// written chip image is likely to match.
uint8_t CardMemoryByte(uint32_t offset)
{
    return static_cast<uint8_t>((offset * 37u + 0x5Au) ^ (offset >> 8));
}

// The chip answers through the ROM decoder only on a prepared card.
EmuCard* ChipBehind(const Claim& claim)
{
    EmuCard* card = EmuCardOfFunction(claim.Function);
    if (!card || !card->Chip.Model || !EmuCardPrepared(card))
        return nullptr;
    return card;
}

uint8_t ReadByte(const Claim& claim, uint32_t offset)
{
    if (claim.Count != 1)
        return 0xFF;
    EmuCard* card = EmuCardOfFunction(claim.Function);
    if (claim.Kind == ClaimRom) {
        if (!card)
            return 0xFF;
        EmuCard* answering = ChipBehind(claim);
        if (answering)
            return EmuChipRead(answering, offset);
        return CardMemoryByte(offset);
    }
    if (!card)
        return 0;
    if (claim.Bar == 0)
        return CardMemoryByte(offset);
    if (claim.Bar == 1)
        return static_cast<uint8_t>(EmuCardRegisterRead(card, offset) >> (8 * (offset & 3)));
    return 0;
}

void WriteByte(const Claim& claim, uint32_t offset, uint8_t value)
{
    if (claim.Count != 1)
        return;
    EmuCard* card = EmuCardOfFunction(claim.Function);
    if (!card)
        return;
    if (claim.Kind == ClaimRom) {
        EmuCard* answering = ChipBehind(claim);
        if (answering)
            EmuChipWrite(answering, offset, value);
        else
            card->LostChipWrites += 1;
    } else if (claim.Bar == 1) {
        uint32_t shift = 8 * (offset & 3);
        // A byte write changes one byte of the register as written, not as read.
        uint32_t index = (offset & ~3u) / 4;
        if (offset < EmuCardWindowSize(card)) {
            uint32_t latch = card->Latch[index];
            latch = (latch & ~(0xFFu << shift)) | (static_cast<uint32_t>(value) << shift);
            EmuCardRegisterWrite(card, offset, latch);
        }
    }
}

}  // namespace

uint32_t EmuBusClaimCount(uint32_t address)
{
    return Resolve(address).Count;
}

uint8_t EmuBusRead8(uint32_t address)
{
    Claim claim = Resolve(address);
    return ReadByte(claim, claim.Offset);
}

// 32-bit reads of register 0 of any card's register window (the read the
// driver makes after every chip write), for tests.
static uint32_t RegisterZeroReads;

uint32_t EmuRegisterZeroReads()
{
    return RegisterZeroReads;
}

// The first register accesses since the last clear, for tests of the order.
static EmuRegisterAccess RegisterAccesses[64];
static uint32_t RegisterAccessCount;

static void LogRegisterAccess(uint32_t write, uint32_t offset, uint32_t value)
{
    if (RegisterAccessCount < sizeof RegisterAccesses / sizeof RegisterAccesses[0])
        RegisterAccesses[RegisterAccessCount] = {write, offset, value, EmuNowUs()};
    ++RegisterAccessCount;
}

uint32_t EmuRegisterAccessCount()
{
    return RegisterAccessCount;
}

int EmuRegisterAccessAt(uint32_t index, EmuRegisterAccess* access)
{
    if (index >= RegisterAccessCount || index >= sizeof RegisterAccesses / sizeof RegisterAccesses[0])
        return 0;
    *access = RegisterAccesses[index];
    return 1;
}

void EmuClearRegisterAccesses()
{
    RegisterAccessCount = 0;
}

uint32_t EmuBusRead32(uint32_t address)
{
    Claim claim = Resolve(address);
    if (claim.Count == 1 && claim.Kind == ClaimBar && claim.Bar == 1 && EmuCardOfFunction(claim.Function)) {
        if (claim.Offset == 0)
            ++RegisterZeroReads;
        uint32_t value = EmuCardRegisterRead(EmuCardOfFunction(claim.Function), claim.Offset);
        LogRegisterAccess(0, claim.Offset, value);
        return value;
    }
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(ReadByte(claim, claim.Offset + i)) << (8 * i);
    return value;
}

void EmuBusWrite8(uint32_t address, uint8_t value)
{
    Claim claim = Resolve(address);
    WriteByte(claim, claim.Offset, value);
}

void EmuBusWrite32(uint32_t address, uint32_t value)
{
    Claim claim = Resolve(address);
    if (claim.Count == 1 && claim.Kind == ClaimBar && claim.Bar == 1 && EmuCardOfFunction(claim.Function)) {
        LogRegisterAccess(1, claim.Offset, value);
        EmuCardRegisterWrite(EmuCardOfFunction(claim.Function), claim.Offset, value);
        return;
    }
    for (uint32_t i = 0; i < 4; ++i)
        WriteByte(claim, claim.Offset + i, static_cast<uint8_t>(value >> (8 * i)));
}

int EmuMappingRefused(uint32_t busAddress, uint32_t size)
{
    for (uint32_t i = 0; i < Machine.CardCount; ++i) {
        const EmuCard* card = &Machine.Cards[i];
        const EmuFunction* function = &Machine.Functions[card->FunctionIndex];
        uint32_t registers = function->Config[PciBar1 / 4] & ~PciBarMemoryFlags;
        uint32_t memory = function->Config[PciBar0 / 4] & ~PciBarMemoryFlags;
        if (EmuFindFault(EmuFaultMapRegister, function) && busAddress == registers)
            return 1;
        if (EmuFindFault(EmuFaultMapRom, function) && busAddress == memory && size > 0)
            return 1;
    }
    return 0;
}
