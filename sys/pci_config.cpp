#include "pci_config.h"

#include "pci_registers.h"
#include "platform.h"

static uint32_t SlotNumber(uint32_t device, uint32_t function)
{
    return (device & 0x1F) | ((function & 0x7) << 5);
}

// The platform fills the buffer in place; start from all ones so a read the
// platform leaves short still looks like an empty slot.
uint8_t PciRead8(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset)
{
    uint8_t value = 0xFF;
    PlatformPciRead(bus, SlotNumber(device, function), &value, offset, 1);
    return value;
}

uint16_t PciRead16(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset)
{
    uint16_t value = 0xFFFF;
    PlatformPciRead(bus, SlotNumber(device, function), &value, offset, 2);
    return value;
}

uint32_t PciRead32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset)
{
    uint32_t value = 0xFFFFFFFFu;
    PlatformPciRead(bus, SlotNumber(device, function), &value, offset, 4);
    return value;
}

int PciWrite32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value)
{
    return PlatformPciWrite(bus, SlotNumber(device, function), &value, offset, 4) == 4 ? 1 : 0;
}

int PciWriteConfirmed32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value,
                        uint32_t mask)
{
    if (!PciWrite32(bus, device, function, offset, value))
        return 0;
    return (PciRead32(bus, device, function, offset) & mask) == (value & mask) ? 1 : 0;
}

uint16_t PciReadCommand(uint32_t bus, uint32_t device, uint32_t function)
{
    return static_cast<uint16_t>(PciRead32(bus, device, function, PciCommand));
}

void PciWriteCommand(uint32_t bus, uint32_t device, uint32_t function, uint16_t command)
{
    PciWrite32(bus, device, function, PciCommand, command);
}
