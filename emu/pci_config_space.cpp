// Configuration space of the emulated functions: which bits a write changes,
// BAR and ROM BAR size probing, and the platform-facing byte access.
#include "emu_text.h"
#include "machine_state.h"
#include "pci_registers.h"

EmuMachine Machine;

namespace {

const uint32_t RomBarIndex = PciRomBar / 4;

void TraceWrite(const EmuFunction* function, uint32_t offset, uint32_t written, uint32_t before)
{
    if (!EmuTraceWanted())
        return;
    char text[128];
    EmuLine line;
    EmuLineStart(&line, text, sizeof text);
    EmuLineText(&line, "config ");
    EmuLineLocation(&line, function->Bus, function->Device, function->Function);
    EmuLineText(&line, " 0x");
    EmuLineHex(&line, offset, 2);
    EmuLineText(&line, " <- 0x");
    EmuLineHex(&line, written, 8);
    EmuLineText(&line, " (was 0x");
    EmuLineHex(&line, before, 8);
    EmuLineText(&line, ", now 0x");
    EmuLineHex(&line, function->Config[offset / 4], 8);
    EmuLineText(&line, ")");
    EmuEmitTrace(text);
}

EmuFunction* FunctionAtSlot(uint32_t bus, uint32_t slot)
{
    return EmuFindFunction(bus, slot & 0x1F, (slot >> 5) & 0x7);
}

}  // namespace

EmuFunction* EmuFindFunction(uint32_t bus, uint32_t device, uint32_t function)
{
    for (uint32_t i = 0; i < Machine.FunctionCount; ++i) {
        EmuFunction* candidate = &Machine.Functions[i];
        if (candidate->Bus == bus && candidate->Device == device && candidate->Function == function)
            return candidate;
    }
    return nullptr;
}

uint32_t EmuHeaderLayout(const EmuFunction* function)
{
    return PciHeaderLayout(EmuFunctionRead32(function, PciHeaderType & ~3u) >> 16);
}

EmuCard* EmuCardOfFunction(const EmuFunction* function)
{
    if (!function || function->CardIndex < 0)
        return nullptr;
    return &Machine.Cards[function->CardIndex];
}

const EmuFault* EmuFindFault(uint32_t kind, const EmuFunction* function)
{
    for (uint32_t i = 0; i < Machine.FaultCount; ++i) {
        const EmuFault* fault = &Machine.Faults[i];
        if (fault->Kind != kind)
            continue;
        if (!fault->HasTarget)
            return fault;
        if (function && fault->Bus == function->Bus && fault->Device == function->Device &&
            fault->Function == function->Function)
            return fault;
    }
    return nullptr;
}

// A config-ignored fault keeps the register as it is when a write would
// switch memory decoding on (command register), enable the ROM decoder (ROM
// BAR) or move a BAR; size probes (all ones), the writes that restore a BAR
// after one, and other writes take.
static bool WriteIgnored(const EmuFunction* function, uint32_t offset, uint32_t value)
{
    bool named = false;
    for (uint32_t i = 0; i < Machine.FaultCount && !named; ++i) {
        const EmuFault& fault = Machine.Faults[i];
        named = fault.Kind == EmuFaultConfigIgnored && fault.Value == offset && fault.Bus == function->Bus &&
            fault.Device == function->Device && fault.Function == function->Function;
    }
    if (!named)
        return false;
    uint32_t before = function->Config[offset / 4];
    if (offset == PciCommand)
        return (value & PciCommandMemory) && !(before & PciCommandMemory);
    if (offset == RomBarIndex * 4)
        return (value & PciRomEnable) != 0;
    // A BAR takes its size probe and the write that restores it after one.
    uint32_t writable = function->Writable[offset / 4];
    return value != 0xFFFFFFFFu && (before & writable) != writable;
}

void EmuInitFunction(EmuFunction* function, uint32_t bus, uint32_t device, uint32_t number)
{
    EmuFill(function, 0, sizeof *function);
    function->Bus = static_cast<uint8_t>(bus);
    function->Device = static_cast<uint8_t>(device);
    function->Function = static_cast<uint8_t>(number);
    function->CardIndex = -1;
}

// Called once the machine file has set the function's registers: decides
// which bits writes may change from the header layout and the decoders.
void EmuFinishFunction(EmuFunction* function)
{
    uint32_t* writable = function->Writable;
    writable[PciCommand / 4] = 0x0000FFFF;        // status: read-only or write-one-to-clear
    writable[PciCacheLineSize / 4] = 0x0000FFFF;  // and the latency timer
    writable[PciInterruptLine / 4] = 0x000000FF;
    for (uint32_t i = PciDeviceSpecific / 4; i < EmuConfigRegisters; ++i)
        writable[i] = 0xFFFFFFFF;
    uint32_t layout = EmuHeaderLayout(function);
    uint32_t barCount = PciBarCount(layout);
    if (layout == PciLayoutBridge) {
        // Bus numbers, I/O and memory windows, upper halves.
        for (uint32_t offset = PciBridgeBusNumbers; offset <= PciBridgeUpperIo; offset += 4)
            writable[offset / 4] = 0xFFFFFFFF;
        writable[PciBridgeIoWindow / 4] = 0x0000FFFF;
    }
    for (uint32_t bar = 0; bar < barCount; ++bar) {
        uint32_t size = function->BarSize[bar];
        uint32_t index = PciBarOffset(bar) / 4;
        if (size == 0)
            continue;
        uint32_t value = function->Config[index];
        if (value & PciBarIoSpace) {
            writable[index] = ~(size - 1) & ~PciBarIoFlags;
        } else {
            writable[index] = ~(size - 1) & ~PciBarMemoryFlags;
            if ((value & PciBarMemoryType) == PciBarMemory64 && bar + 1 < barCount)
                writable[index + 1] = 0xFFFFFFFF;  // upper half of a 64-bit BAR
        }
    }
    if (layout == PciLayoutDevice && function->RomSize != 0)
        writable[RomBarIndex] = (~(function->RomSize - 1) & ~PciRomFlags) | PciRomEnable;
}

uint32_t EmuFunctionRead32(const EmuFunction* function, uint32_t offset)
{
    if (offset >= EmuConfigRegisters * 4)
        return 0;
    return function->Config[offset / 4];
}

void EmuFunctionWrite32(EmuFunction* function, uint32_t offset, uint32_t value, uint32_t byteMask)
{
    if (offset >= EmuConfigRegisters * 4)
        return;
    uint32_t index = offset / 4;
    uint32_t before = function->Config[index];
    uint32_t change = function->Writable[index] & byteMask;
    if (WriteIgnored(function, index * 4, value))
        change = 0;
    function->Config[index] = (before & ~change) | (value & change);
    // A command register whose memory decoding, once on, will not go off.
    if (index == PciCommand / 4 && (before & PciCommandMemory) && EmuFindFault(EmuFaultDecodingStuckOn, function))
        function->Config[index] |= PciCommandMemory;
    // A one written to a latched error bit of the status register clears it.
    if (index == PciCommand / 4)
        function->Config[index] &= ~(value & byteMask & (PciStatusWriteOneToClear << 16));
    function->WriteCount[index] += 1;
    TraceWrite(function, index * 4, value, before);
    EmuNoteConfigWrite(function, index * 4, value, byteMask);

    // A chip that loses its decoder ends whatever it could not finish.
    EmuCard* card = EmuCardOfFunction(function);
    if (card && index == RomBarIndex && (before & PciRomEnable) && !(function->Config[index] & PciRomEnable)) {
        EmuChipAbort(card);
        EmuChipDecoderOff(card);
    }
}

void EmuConfigRead(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length)
{
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    const EmuFunction* function = FunctionAtSlot(bus, slot);
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t at = offset + i;
        if (!function) {
            bytes[i] = 0xFF;
        } else if (at < offset || at >= EmuConfigRegisters * 4) {
            bytes[i] = 0;
        } else {
            bytes[i] = static_cast<uint8_t>(function->Config[at / 4] >> (8 * (at % 4)));
        }
    }
}

uint32_t EmuConfigWrite(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset, uint32_t length)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    EmuFunction* function = FunctionAtSlot(bus, slot);
    if (!function)
        return 0;
    // Group the bytes by register: one write per register touched.
    uint32_t i = 0;
    while (i < length) {
        uint32_t at = offset + i;
        if (at < offset || at >= EmuConfigRegisters * 4)
            return i;
        uint32_t registerOffset = at & ~3u;
        uint32_t value = 0, mask = 0;
        while (i < length && ((offset + i) & ~3u) == registerOffset) {
            uint32_t shift = 8 * ((offset + i) & 3);
            value |= static_cast<uint32_t>(bytes[i]) << shift;
            mask |= 0xFFu << shift;
            ++i;
        }
        EmuFunctionWrite32(function, registerOffset, value, mask);
    }
    return length;
}

uint32_t EmuPeekConfig32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset)
{
    const EmuFunction* found = EmuFindFunction(bus, device, function);
    if (!found)
        return 0xFFFFFFFFu;
    return EmuFunctionRead32(found, offset & ~3u);
}

uint32_t EmuConfigWriteCount(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset)
{
    const EmuFunction* found = EmuFindFunction(bus, device, function);
    if (!found || offset >= EmuConfigRegisters * 4)
        return 0;
    return found->WriteCount[offset / 4];
}

uint32_t EmuProcessorCount()
{
    return Machine.ProcessorCount;
}

uint32_t EmuProcessorMask()
{
    return Machine.ProcessorMask;
}

int EmuHasFault(uint32_t kind)
{
    for (uint32_t i = 0; i < Machine.FaultCount; ++i) {
        if (Machine.Faults[i].Kind == kind)
            return 1;
    }
    return 0;
}
