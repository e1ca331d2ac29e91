// PCI configuration space, bus windows and register accesses over the HAL
// and the memory manager of the machine the driver runs on.
#include "nt_ddk.h"

#include "platform.h"

void PlatformPciRead(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length)
{
    // The HAL writes only the 16-bit invalid vendor ID for an empty slot, and
    // nothing for a bus that does not exist; the rest must read as all ones.
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    for (uint32_t i = 0; i < length; ++i)
        bytes[i] = 0xFF;
    HalGetBusDataByOffset(PCIConfiguration, bus, slot, buffer, offset, length);
}

uint32_t PlatformPciWrite(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset, uint32_t length)
{
    return HalSetBusDataByOffset(PCIConfiguration, bus, slot, const_cast<void*>(buffer), offset, length);
}

int PlatformTranslateBusAddress(uint32_t bus, uint32_t busAddress, uint32_t* physical)
{
    PHYSICAL_ADDRESS busPhysical;
    busPhysical.QuadPart = busAddress;
    ULONG addressSpace = 0;  // memory space
    PHYSICAL_ADDRESS translated;
    translated.QuadPart = 0;
    if (!HalTranslateBusAddress(PCIBus, bus, busPhysical, &addressSpace, &translated))
        return 0;
    *physical = translated.LowPart;
    return 1;
}

void* PlatformMapIoSpace(uint32_t physical, uint32_t size)
{
    PHYSICAL_ADDRESS address;
    address.QuadPart = physical;
    return MmMapIoSpace(address, size, MmNonCached);
}

void PlatformUnmapIoSpace(void* mapping, uint32_t size)
{
    MmUnmapIoSpace(mapping, size);
}

uint8_t PlatformRead8(void* mapping, uint32_t offset)
{
    return READ_REGISTER_UCHAR(static_cast<PUCHAR>(mapping) + offset);
}

uint32_t PlatformRead32(void* mapping, uint32_t offset)
{
    return READ_REGISTER_ULONG(reinterpret_cast<PULONG>(static_cast<PUCHAR>(mapping) + offset));
}

void PlatformWrite8(void* mapping, uint32_t offset, uint8_t value)
{
    WRITE_REGISTER_UCHAR(static_cast<PUCHAR>(mapping) + offset, value);
}

void PlatformWrite32(void* mapping, uint32_t offset, uint32_t value)
{
    WRITE_REGISTER_ULONG(reinterpret_cast<PULONG>(static_cast<PUCHAR>(mapping) + offset), value);
}
