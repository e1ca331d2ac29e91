// The first version of NT whose ntoskrnl.exe or hal.dll (x86) exports each
// routine; every later version up to XP still does. Sources, in the pages of
// geoffchappellmirror/geoffchappellmirror.github.io: the kernel's
// studies/windows/km/ntoskrnl/history/namesNNN.htm and the HAL's
// studies/windows/km/hal/history/namesNNN.htm ("Exports Added for Version
// N"), NNN the version of the entry's Since. NT 4.0's service packs added no
// export that is listed here (names40sp3.htm, names40sp4.htm), so one table
// serves SP1 to SP6.
#include "export_tables.h"

#include <string.h>
#include <strings.h>

#include "model_kernel.h"

namespace {

struct ExportEntry {
    const char* Name;
    int Hal;    // exported by hal.dll, not ntoskrnl.exe
    int Since;  // 310, 350, 351, 400, 500, 501
    const char* Page;
};

const ExportEntry Exports[] = {
    {"HalGetBusDataByOffset", 1, 350, "hal/history/names350.htm"},
    {"HalSetBusDataByOffset", 1, 350, "hal/history/names350.htm"},
    {"HalTranslateBusAddress", 1, 310, "hal/history/names310.htm"},
    {"KeGetCurrentIrql", 1, 310, "hal/history/names310.htm"},
    {"KeAcquireInStackQueuedSpinLock", 1, 501, "hal/history/names51.htm"},
    {"KeReleaseInStackQueuedSpinLock", 1, 501, "hal/history/names51.htm"},
    {"KeStallExecutionProcessor", 1, 310, "hal/history/names310.htm"},
    {"KfAcquireSpinLock", 1, 350, "hal/history/names350.htm"},
    {"KfLowerIrql", 1, 350, "hal/history/names350.htm"},
    {"KfRaiseIrql", 1, 350, "hal/history/names350.htm"},
    {"KfReleaseSpinLock", 1, 350, "hal/history/names350.htm"},
    {"ExAllocatePool", 0, 310, "ntoskrnl/history/names310.htm"},
    {"ExAllocatePoolWithTag", 0, 350, "ntoskrnl/history/names350.htm"},
    {"ExFreePool", 0, 310, "ntoskrnl/history/names310.htm"},
    {"ExFreePoolWithTag", 0, 500, "ntoskrnl/history/names50.htm"},
    {"IoCreateDevice", 0, 310, "ntoskrnl/history/names310.htm"},
    {"IoCreateSymbolicLink", 0, 310, "ntoskrnl/history/names310.htm"},
    {"IoDeleteDevice", 0, 310, "ntoskrnl/history/names310.htm"},
    {"IoDeleteSymbolicLink", 0, 310, "ntoskrnl/history/names310.htm"},
    {"IofCompleteRequest", 0, 350, "ntoskrnl/history/names350.htm"},
    {"KeAcquireInStackQueuedSpinLockAtDpcLevel", 0, 501, "ntoskrnl/history/names51.htm"},
    {"KeDelayExecutionThread", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KeEnterCriticalRegion", 0, 350, "ntoskrnl/history/names350.htm"},
    {"KeGetCurrentThread", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KeInitializeEvent", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KeLeaveCriticalRegion", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KeReleaseInStackQueuedSpinLockFromDpcLevel", 0, 501, "ntoskrnl/history/names51.htm"},
    {"KeSetAffinityThread", 0, 400, "ntoskrnl/history/names40.htm"},
    {"KeSetEvent", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KeSetPriorityThread", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KeWaitForMultipleObjects", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KeWaitForSingleObject", 0, 310, "ntoskrnl/history/names310.htm"},
    {"KefAcquireSpinLockAtDpcLevel", 0, 350, "ntoskrnl/history/names350.htm"},
    {"KefReleaseSpinLockFromDpcLevel", 0, 350, "ntoskrnl/history/names350.htm"},
    {"MmMapIoSpace", 0, 310, "ntoskrnl/history/names310.htm"},
    {"MmUnmapIoSpace", 0, 310, "ntoskrnl/history/names310.htm"},
    {"NtSetSecurityObject", 0, 310, "ntoskrnl/history/names310.htm"},
    {"ObOpenObjectByPointer", 0, 310, "ntoskrnl/history/names310.htm"},
    {"ObReferenceObjectByHandle", 0, 310, "ntoskrnl/history/names310.htm"},
    {"ObfDereferenceObject", 0, 350, "ntoskrnl/history/names350.htm"},
    {"PsCreateSystemThread", 0, 310, "ntoskrnl/history/names310.htm"},
    {"PsTerminateSystemThread", 0, 310, "ntoskrnl/history/names310.htm"},
    {"PsThreadType", 0, 310, "ntoskrnl/history/names310.htm"},
    {"READ_REGISTER_UCHAR", 0, 310, "ntoskrnl/history/names310.htm"},
    {"READ_REGISTER_ULONG", 0, 310, "ntoskrnl/history/names310.htm"},
    {"RtlInitUnicodeString", 0, 310, "ntoskrnl/history/names310.htm"},
    {"WRITE_REGISTER_UCHAR", 0, 310, "ntoskrnl/history/names310.htm"},
    {"WRITE_REGISTER_ULONG", 0, 310, "ntoskrnl/history/names310.htm"},
    {"ZwClose", 0, 310, "ntoskrnl/history/names310.htm"},
    {"ZwQuerySystemInformation", 0, 400, "ntoskrnl/history/names40.htm"},
    {"ZwSetInformationThread", 0, 350, "ntoskrnl/history/names350.htm"},
    {"ZwSetSecurityObject", 0, 500, "ntoskrnl/history/names50.htm"},
};

}  // namespace

int VersionExports(int version, const char* dll, const char* name)
{
    int hal = strcasecmp(dll, "hal.dll") == 0;
    if (!hal && strcasecmp(dll, "ntoskrnl.exe") != 0)
        return ExportUnknown;
    // The table's versions are 3.10 = 310 ... 5.1 = 501; the model's 4.0 = 400.
    for (const ExportEntry& entry : Exports) {
        if (entry.Hal == hal && strcmp(entry.Name, name) == 0)
            return entry.Since <= version ? ExportPresent : ExportAbsent;
    }
    return ExportUnknown;
}

const char* VersionName(int version)
{
    return version == Nt40 ? "4.0" : version == Nt50 ? "5.0" : "5.1";
}
