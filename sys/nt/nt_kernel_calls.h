// Kernel routines and records the driver uses that the DDK headers of the
// cross compiler do not declare.
#ifndef PELMIX_NT_KERNEL_CALLS_H
#define PELMIX_NT_KERNEL_CALLS_H

#include "nt_ddk.h"

// The reply of the SystemBasicInformation class: 44 bytes on 32-bit NT.
struct PELMIX_SYSTEM_BASIC_INFORMATION {
    ULONG Reserved;
    ULONG TimerResolution;
    ULONG PageSize;
    ULONG NumberOfPhysicalPages;
    ULONG LowestPhysicalPageNumber;
    ULONG HighestPhysicalPageNumber;
    ULONG AllocationGranularity;
    ULONG_PTR MinimumUserModeAddress;
    ULONG_PTR MaximumUserModeAddress;
    ULONG_PTR ActiveProcessorsAffinityMask;
    CCHAR NumberOfProcessors;
};
#ifndef _WIN64
static_assert(sizeof(PELMIX_SYSTEM_BASIC_INFORMATION) == 44, "basic information size");
static_assert(offsetof(PELMIX_SYSTEM_BASIC_INFORMATION, ActiveProcessorsAffinityMask) == 36, "affinity mask offset");
static_assert(offsetof(PELMIX_SYSTEM_BASIC_INFORMATION, NumberOfProcessors) == 40, "processor count offset");
#endif

enum { PelmixSystemBasicInformationClass = 0 };

extern "C" NTSYSAPI NTSTATUS NTAPI ZwQuerySystemInformation(ULONG informationClass, PVOID information, ULONG length,
                                                            PULONG returnLength);

// Object security (ntifs.h, which does not compile beside ntddk.h here).
extern "C" NTSYSAPI NTSTATUS NTAPI ObOpenObjectByPointer(PVOID object, ULONG handleAttributes,
                                                         PACCESS_STATE passedAccessState, ACCESS_MASK desiredAccess,
                                                         POBJECT_TYPE objectType, KPROCESSOR_MODE accessMode,
                                                         PHANDLE handle);
extern "C" NTSYSAPI NTSTATUS NTAPI NtSetSecurityObject(HANDLE handle, SECURITY_INFORMATION information,
                                                       PSECURITY_DESCRIPTOR descriptor);

// The affinity of a thread: returns the old one (exported since NT 4.0; the
// DDK headers here declare only the system-affinity calls of 2000).
extern "C" NTSYSAPI KAFFINITY NTAPI KeSetAffinityThread(PKTHREAD thread, KAFFINITY affinity);

// The kernel's thread type. wdm.h here declares the exported type objects
// dllimport and with the DDK's extra `*` (written for a header that reaches
// the variable through its import slot): the plain name already reads the
// kernel's POBJECT_TYPE variable, and one more dereference would hand the
// kernel the type object's first field, which NT refuses as a type mismatch.
inline POBJECT_TYPE ThreadObjectType()
{
    return reinterpret_cast<POBJECT_TYPE>(PsThreadType);
}

#endif
