// PCI configuration space, bus windows and register accesses of the
// emulated-hardware driver: all of them reach the emulated machine. A bus
// address translates to the same physical address, and a mapping is a handle
// on a window of the machine's memory space that the accesses decode.
#include "nt_ddk.h"
#include "pci_machine.h"
#include "platform.h"

namespace {

struct BusWindow {
    uint32_t Base;
    uint32_t Size;
    int InUse;
};

// The ROM access phase maps two windows at a time.
const unsigned BusWindowCount = 8;
BusWindow BusWindows[BusWindowCount];

uint32_t AddressOf(void* mapping, uint32_t offset)
{
    return static_cast<BusWindow*>(mapping)->Base + offset;
}

}  // namespace

void PlatformPciRead(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length)
{
    EmuConfigRead(bus, slot, buffer, offset, length);
}

uint32_t PlatformPciWrite(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset, uint32_t length)
{
    return EmuConfigWrite(bus, slot, buffer, offset, length);
}

int PlatformTranslateBusAddress(uint32_t, uint32_t busAddress, uint32_t* physical)
{
    *physical = busAddress;
    return 1;
}

void* PlatformMapIoSpace(uint32_t physical, uint32_t size)
{
    if (EmuMappingRefused(physical, size))
        return 0;
    for (unsigned i = 0; i < BusWindowCount; ++i) {
        if (!BusWindows[i].InUse) {
            BusWindows[i].Base = physical;
            BusWindows[i].Size = size;
            BusWindows[i].InUse = 1;
            return &BusWindows[i];
        }
    }
    return 0;
}

void PlatformUnmapIoSpace(void* mapping, uint32_t)
{
    if (mapping)
        static_cast<BusWindow*>(mapping)->InUse = 0;
}

uint8_t PlatformRead8(void* mapping, uint32_t offset)
{
    return EmuBusRead8(AddressOf(mapping, offset));
}

uint32_t PlatformRead32(void* mapping, uint32_t offset)
{
    return EmuBusRead32(AddressOf(mapping, offset));
}

void PlatformWrite8(void* mapping, uint32_t offset, uint8_t value)
{
    EmuBusWrite8(AddressOf(mapping, offset), value);
}

void PlatformWrite32(void* mapping, uint32_t offset, uint32_t value)
{
    EmuBusWrite32(AddressOf(mapping, offset), value);
}
