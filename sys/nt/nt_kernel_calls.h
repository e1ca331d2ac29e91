// Kernel routines and records the driver uses that the DDK headers of the
// cross compiler do not declare.
#ifndef PELMIX_NT_KERNEL_CALLS_H
#define PELMIX_NT_KERNEL_CALLS_H

#include "nt_ddk.h"

// The 44-byte reply of the SystemBasicInformation class on 32-bit NT.
struct PELMIX_SYSTEM_BASIC_INFORMATION {
    ULONG Reserved;
    ULONG TimerResolution;
    ULONG PageSize;
    ULONG NumberOfPhysicalPages;
    ULONG LowestPhysicalPageNumber;
    ULONG HighestPhysicalPageNumber;
    ULONG AllocationGranularity;
    ULONG MinimumUserModeAddress;
    ULONG MaximumUserModeAddress;
    ULONG ActiveProcessorsAffinityMask;
    CCHAR NumberOfProcessors;
};
static_assert(sizeof(PELMIX_SYSTEM_BASIC_INFORMATION) == 44, "basic information size");
static_assert(offsetof(PELMIX_SYSTEM_BASIC_INFORMATION, ActiveProcessorsAffinityMask) == 36,
              "affinity mask offset");
static_assert(offsetof(PELMIX_SYSTEM_BASIC_INFORMATION, NumberOfProcessors) == 40,
              "processor count offset");

enum { PELMIX_SYSTEM_BASIC_INFORMATION_CLASS = 0 };

extern "C" NTSYSAPI NTSTATUS NTAPI ZwQuerySystemInformation(ULONG informationClass, PVOID information,
                                                            ULONG length, PULONG returnLength);

#endif
