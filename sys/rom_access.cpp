#include "rom_access.h"

#include "card_access_sets.h"
#include "card_scan.h"
#include "driver_state.h"
#include "pci_config.h"
#include "pci_registers.h"
#include "platform.h"
#include "processor_hold.h"

namespace {

const uint32_t PageSize = 0x1000;

uint32_t WholePages(uint32_t size)
{
    return (size + PageSize - 1) & ~(PageSize - 1);
}

}  // namespace

void* MapBusWindow(uint32_t busAddress, uint32_t bus, uint32_t size)
{
    uint32_t physical = 0;
    if (!PlatformTranslateBusAddress(bus, busAddress, &physical))
        return nullptr;
    return PlatformMapIoSpace(physical, WholePages(size));
}

void UnmapBusWindow(void* mapping, uint32_t size)
{
    PlatformUnmapIoSpace(mapping, WholePages(size));
}

namespace {

// What the card's configuration must read while the phase is open, up to the
// write just made: memory decoding on, and BAR 0x10 and the ROM BAR as
// written once they are. A write that did not take, or one that undid an
// earlier one, would leave the frame buffer or nothing where the chip should
// answer.
int CardDecodesAsPhase(const RomPhaseRecord* phase, int barMoved, int romOn)
{
    const uint32_t bus = phase->Bus, device = phase->Device, function = phase->Function;
    if ((PciReadCommand(bus, device, function) & PciCommandMemory) == 0)
        return 0;
    if (barMoved && (PciRead32(bus, device, function, PciBar0) & ~0xFu) != phase->RelocationAddress)
        return 0;
    if (romOn && (PciRead32(bus, device, function, PciRomBar) & ~0x7FEu) != (phase->Entry->Bar0 | PciRomEnable))
        return 0;
    return 1;
}

}  // namespace

uint32_t BeginRomAccess(uint32_t bus, uint32_t device, uint32_t function, uint32_t romWindowSize, RomPhaseRecord* phase)
{
    const PELMIX_DEVICE_ENTRY* entry = nullptr;
    uint32_t result = FindCard(bus, device, function, &entry);
    if (result != PELMIX_RESULT_OK)
        return result;

    // A BAR that reads 0 was never assigned: bus address 0 is no window of the
    // card but, on most machines, the bottom of RAM.
    if (entry->Bar1 == 0)
        return PELMIX_RESULT_MAP_REGISTERS;
    if (entry->Bar0 == 0)
        return PELMIX_RESULT_MAP_ROM;
    // BAR 0x10 must leave for a slot no other decoder claims: left in place,
    // it would answer where the ROM decoder is switched on.
    uint32_t relocation = FreeRelocationAddress(entry);
    if (relocation == 0)
        return PELMIX_RESULT_MAP_ROM;

    const CardAccessSet* set = AccessSetForFamily(entry->Family);
    uint32_t registerSize = RegisterWindowSize(entry->Family);

    void* registers = MapBusWindow(entry->Bar1, bus, registerSize);
    if (!registers)
        return PELMIX_RESULT_MAP_REGISTERS;
    void* rom = MapBusWindow(entry->Bar0, bus, romWindowSize);
    if (!rom) {
        UnmapBusWindow(registers, registerSize);
        return PELMIX_RESULT_MAP_ROM;
    }

    result = HoldProcessors();
    if (result != PELMIX_RESULT_OK) {
        UnmapBusWindow(registers, registerSize);
        UnmapBusWindow(rom, romWindowSize);
        return result;
    }

    // From here on no other code runs anywhere in the machine. Each write
    // is trusted once the card reads back as the phase needs it; otherwise
    // the phase is undone, and the ROM window counts as not mapped. The
    // command register is taken as it is now, not as the scan found it: the
    // scan's own sizing may have left it changed.
    *phase = {bus, device, function, romWindowSize,   entry,      set,  registers,
              rom, {},     0,        &UnknownChipRow, relocation, false};
    uint16_t command = PciReadCommand(bus, device, function);
    int took = 1;
    if ((command & PciCommandMemory) == 0) {
        phase->MemoryTurnedOn = true;
        PciWriteCommand(bus, device, function, static_cast<uint16_t>(command | PciCommandMemory));
        took = CardDecodesAsPhase(phase, 0, 0);
    }
    PrepareCard(set, registers, phase->SavedCardRegisters);
    if (took) {
        PciWrite32(bus, device, function, PciBar0, relocation);
        took = CardDecodesAsPhase(phase, 1, 0);
    }
    // The ROM now answers at the bus address BAR 0x10 left, which rom maps.
    if (took) {
        PciWrite32(bus, device, function, PciRomBar, entry->Bar0 | PciRomEnable);
        took = CardDecodesAsPhase(phase, 1, 1);
    }
    if (!took) {
        EndRomAccess(phase);
        return PELMIX_RESULT_MAP_ROM;
    }
    return PELMIX_RESULT_OK;
}

void EndRomAccess(const RomPhaseRecord* phase)
{
    const uint32_t bus = phase->Bus, device = phase->Device, function = phase->Function;
    const PELMIX_DEVICE_ENTRY* entry = phase->Entry;
    const CardAccessSet* set = phase->AccessSet;

    PciWrite32(bus, device, function, PciBar0, entry->Bar0);
    PciWrite32(bus, device, function, PciRomBar, entry->RomBar);  // decoder off
    // The register window decodes only while memory space is enabled, so the
    // access set restores the registers before memory decoding goes back off;
    // the other way round the restore never reaches a card that had it off.
    RestoreCard(set, phase->RegisterWindow, phase->SavedCardRegisters);
    if (phase->MemoryTurnedOn) {
        uint16_t command = PciReadCommand(bus, device, function);
        PciWriteCommand(bus, device, function, static_cast<uint16_t>(command & ~PciCommandMemory));
    }
    ReleaseProcessors();

    UnmapBusWindow(phase->RegisterWindow, RegisterWindowSize(entry->Family));
    UnmapBusWindow(phase->RomWindow, phase->RomWindowSize);
}
