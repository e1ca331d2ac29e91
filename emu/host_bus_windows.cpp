// Bus windows of the host platform: translation is the identity on the
// emulated bus, and a mapping is an opaque record whose accesses go to the
// machine's address decoding.
#include <stdint.h>

#include "host_internal.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "platform.h"

namespace {

const uint32_t PageSize = 0x1000;

struct Mapping {
    int InUse;
    uint32_t Physical;
    uint32_t Size;
};

enum { MaxMappings = 32 };
Mapping Mappings[MaxMappings];
uint32_t MappingsMade;

Mapping* Find(void* mapping)
{
    for (Mapping& candidate : Mappings) {
        if (&candidate == mapping && candidate.InUse)
            return &candidate;
    }
    return nullptr;
}

// The bus address of an access, or 0 with a misuse recorded.
int Reach(void* mapping, uint32_t offset, uint32_t width, uint32_t* address)
{
    HostEndStallRun();
    Mapping* found = Find(mapping);
    if (!found) {
        HostReportMisuse("access through a mapping that is not open");
        return 0;
    }
    if (offset > found->Size || width > found->Size - offset) {
        HostReportMisuse("access outside its mapping");
        return 0;
    }
    *address = found->Physical + offset;
    HostWaitWhilePaused();
    return 1;
}

}  // namespace

void HostResetMappings()
{
    for (Mapping& mapping : Mappings)
        mapping = Mapping();
    MappingsMade = 0;
}

uint32_t HostOpenMappings()
{
    uint32_t open = 0;
    for (const Mapping& mapping : Mappings)
        open += mapping.InUse ? 1 : 0;
    return open;
}

uint32_t HostMappingsMade()
{
    return MappingsMade;
}

int PlatformTranslateBusAddress(uint32_t, uint32_t busAddress, uint32_t* physical)
{
    *physical = busAddress;
    return 1;
}

void* PlatformMapIoSpace(uint32_t physical, uint32_t size)
{
    // Any physical address maps, as on NT; the size must be whole pages.
    if (size == 0 || size % PageSize != 0)
        HostReportMisuse("mapping that is not whole pages");
    if (EmuMappingRefused(physical, size))
        return nullptr;
    for (Mapping& mapping : Mappings) {
        if (!mapping.InUse) {
            mapping.InUse = 1;
            mapping.Physical = physical;
            mapping.Size = size;
            ++MappingsMade;
            return &mapping;
        }
    }
    HostReportMisuse("too many open mappings");
    return nullptr;
}

void PlatformUnmapIoSpace(void* mapping, uint32_t size)
{
    Mapping* found = Find(mapping);
    if (!found) {
        HostReportMisuse("unmapping a mapping that is not open");
        return;
    }
    if (found->Size != size)
        HostReportMisuse("unmapping with a size other than the mapped one");
    found->InUse = 0;
}

uint8_t PlatformRead8(void* mapping, uint32_t offset)
{
    uint32_t address;
    return Reach(mapping, offset, 1, &address) ? EmuBusRead8(address) : 0xFF;
}

uint32_t PlatformRead32(void* mapping, uint32_t offset)
{
    uint32_t address;
    return Reach(mapping, offset, 4, &address) ? EmuBusRead32(address) : 0xFFFFFFFFu;
}

void PlatformWrite8(void* mapping, uint32_t offset, uint8_t value)
{
    uint32_t address;
    if (Reach(mapping, offset, 1, &address))
        EmuBusWrite8(address, value);
}

void PlatformWrite32(void* mapping, uint32_t offset, uint32_t value)
{
    uint32_t address;
    if (Reach(mapping, offset, 4, &address))
        EmuBusWrite32(address, value);
}
