// The processors a system reports in SystemBasicInformation, as the driver
// and the emulated machine both read them: the set bits of the active mask
// from bit 0 upward, never more than the reported number of processors.
#ifndef PELMIX_PROCESSOR_SET_H
#define PELMIX_PROCESSOR_SET_H

#include <stdint.h>

inline uint32_t ReportedProcessors(uint32_t numberOfProcessors, uint32_t activeMask)
{
    uint32_t processors = 0;
    uint32_t count = 0;
    for (uint32_t bit = 0; bit < 32 && count < numberOfProcessors; ++bit) {
        if (activeMask & (1u << bit)) {
            processors |= 1u << bit;
            ++count;
        }
    }
    return processors;
}

inline uint32_t ProcessorsIn(uint32_t processors)
{
    uint32_t count = 0;
    for (; processors != 0; processors &= processors - 1)
        ++count;
    return count;
}

#endif
