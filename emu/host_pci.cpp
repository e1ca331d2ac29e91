// PCI configuration access of the host platform: straight to the machine.
#include "host_internal.h"
#include "pci_machine.h"
#include "platform.h"

void PlatformPciRead(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length)
{
    HostEndStallRun();
    HostTellMachineInterrupts();
    EmuConfigRead(bus, slot, buffer, offset, length);
}

uint32_t PlatformPciWrite(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset, uint32_t length)
{
    HostEndStallRun();
    HostTellMachineInterrupts();
    return EmuConfigWrite(bus, slot, buffer, offset, length);
}
