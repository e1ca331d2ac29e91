// The kernel services whose answer depends on the machine underneath: the
// processor count, thread creation and waits, the IRQL, the busy wait and the
// spin lock, from the kernel and the HAL of the machine the driver runs on.
#include "nt_kernel_services.h"

#include "nt_kernel_calls.h"

namespace {

// The system process's affinity, every active processor, as the last
// processor query gave it: what a system thread may run on.
uint32_t ActiveProcessors;

}  // namespace

int PlatformQueryProcessors(uint8_t* numberOfProcessors, uint32_t* activeProcessorsMask)
{
    if (!KernelQueryProcessors(numberOfProcessors, activeProcessorsMask))
        return 0;
    ActiveProcessors = *activeProcessorsMask;
    return 1;
}

int PlatformCreateSystemThread(PlatformThreadStart start, void* context)
{
    return KernelCreateSystemThread(start, context);
}

int PlatformWaitForSystemThreads(int64_t relativeTimeout100ns)
{
    PVOID threads[KernelSystemThreadCapacity];
    unsigned count = KernelRunningSystemThreads(threads, KernelSystemThreadCapacity);
    for (unsigned i = 0; i < count && ActiveProcessors != 0; ++i)
        KeSetAffinityThread(static_cast<PKTHREAD>(threads[i]), ActiveProcessors);
    return KernelWaitForSystemThreads(relativeTimeout100ns);
}

int PlatformWaitForEvent(PlatformEvent* event, int64_t relativeTimeout100ns)
{
    return KernelWaitForEvent(event, relativeTimeout100ns);
}

void PlatformDelayExecution(int64_t relativeInterval100ns)
{
    KernelDelayExecution(relativeInterval100ns);
}

// The Number byte of the processor's control region, at fs:[0x51] on x86:
// what the DDK's KeGetCurrentProcessorNumber reads (its inline here reads
// through a null pointer the compiler warns about).
uint32_t PlatformCurrentProcessor()
{
    uint8_t number;
    __asm__ __volatile__("movb %%fs:0x51, %0" : "=q"(number));
    return number;
}

uint32_t PlatformSetCurrentThreadAffinity(uint32_t mask)
{
    return static_cast<uint32_t>(KeSetAffinityThread(KeGetCurrentThread(), mask));
}

// The thread-information call checks the mask against the process's affinity
// under the process's lock, the lock a change of that affinity takes: it
// refuses what no longer fits where KeSetAffinityThread would stop the
// machine (INVALID_AFFINITY_SET).
int PlatformRestoreCurrentThreadAffinity(uint32_t mask)
{
    KAFFINITY affinity = mask;
    return NT_SUCCESS(ZwSetInformationThread(NtCurrentThread(), ThreadAffinityMask, &affinity, sizeof affinity));
}

static_assert(sizeof(KSPIN_LOCK) <= sizeof(PlatformSpinLock), "a spin lock fits its opaque storage");

void PlatformInitializeSpinLock(PlatformSpinLock* lock)
{
    KeInitializeSpinLock(reinterpret_cast<PKSPIN_LOCK>(lock->Opaque));
}

void PlatformAcquireSpinLockAtDpcLevel(PlatformSpinLock* lock)
{
    KefAcquireSpinLockAtDpcLevel(reinterpret_cast<PKSPIN_LOCK>(lock->Opaque));
}

void PlatformReleaseSpinLockFromDpcLevel(PlatformSpinLock* lock)
{
    KefReleaseSpinLockFromDpcLevel(reinterpret_cast<PKSPIN_LOCK>(lock->Opaque));
}

void PlatformStallMicroseconds(uint32_t microseconds)
{
    KeStallExecutionProcessor(microseconds);
}

uint8_t PlatformRaiseIrql(uint8_t newIrql)
{
    return KfRaiseIrql(newIrql);
}

void PlatformLowerIrql(uint8_t irql)
{
    KfLowerIrql(irql);
}

uint8_t PlatformGetCurrentIrql()
{
    return KeGetCurrentIrql();
}
