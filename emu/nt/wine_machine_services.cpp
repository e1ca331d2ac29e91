// The machine-dependent kernel services of the emulated-hardware driver. The
// processors, their faults and the passage of time belong to the emulated
// machine, so the driver sees exactly what the machine file describes, and
// the chips complete their work by the machine's own clock; the threads,
// events and sleeps are the kernel's. Wine's kernel has no spin lock at
// DISPATCH_LEVEL, no busy wait and no IRQL, so they are kept here.
#include "nt_kernel_services.h"
#include "pci_machine.h"
#include "processor_set.h"

namespace {

// The IRQL of each thread that raised it; threads not listed run at
// PASSIVE_LEVEL. The holding threads and the requesting thread are all there
// ever are.
struct ThreadIrql {
    volatile HANDLE Thread;
    uint8_t Irql;
};
const unsigned ThreadIrqlCount = 64;
ThreadIrql ThreadIrqls[ThreadIrqlCount];

ThreadIrql* FindThreadIrql(HANDLE thread)
{
    for (unsigned i = 0; i < ThreadIrqlCount; ++i) {
        if (ThreadIrqls[i].Thread == thread)
            return &ThreadIrqls[i];
    }
    return 0;
}

// A thread claims a free entry (null owner) atomically, since the holding
// threads raise their IRQL at the same time.
ThreadIrql* ClaimThreadIrql(HANDLE thread)
{
    for (unsigned i = 0; i < ThreadIrqlCount; ++i) {
        HANDLE expected = 0;
        if (__atomic_compare_exchange_n(&ThreadIrqls[i].Thread, &expected, thread, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE))
            return &ThreadIrqls[i];
    }
    return 0;
}

void SetThreadIrql(uint8_t irql)
{
    HANDLE thread = PsGetCurrentThreadId();
    ThreadIrql* entry = FindThreadIrql(thread);
    if (irql == PlatformPassiveLevel) {
        if (entry)
            __atomic_store_n(&entry->Thread, static_cast<HANDLE>(0), __ATOMIC_RELEASE);
        return;
    }
    if (!entry)
        entry = ClaimThreadIrql(thread);
    if (entry)
        entry->Irql = irql;
}

struct WineSpinLock {
    volatile LONG Held;
};
static_assert(sizeof(WineSpinLock) <= sizeof(PlatformSpinLock), "a spin lock fits its opaque storage");

WineSpinLock* SpinLockOf(PlatformSpinLock* lock)
{
    return reinterpret_cast<WineSpinLock*>(lock->Opaque);
}

}  // namespace

int PlatformQueryProcessors(uint8_t* numberOfProcessors, uint32_t* activeProcessorsMask)
{
    if (EmuHasFault(EmuFaultCpuQuery))
        return 0;
    *numberOfProcessors = static_cast<uint8_t>(EmuProcessorCount());
    *activeProcessorsMask = EmuProcessorMask();
    return 1;
}

int PlatformCreateSystemThread(PlatformThreadStart start, void* context)
{
    if (EmuHasFault(EmuFaultCpuThread))
        return 0;
    return KernelCreateSystemThread(start, context);
}

int PlatformWaitForSystemThreads(int64_t relativeTimeout100ns)
{
    return KernelWaitForSystemThreads(relativeTimeout100ns);
}

int PlatformWaitForEvent(PlatformEvent* event, int64_t relativeTimeout100ns)
{
    // A holding thread that never gets a processor: the wait runs out.
    if (EmuHasFault(EmuFaultCpuTimeout)) {
        EmuAdvanceUs(static_cast<uint64_t>(-relativeTimeout100ns) / 10);
        return 0;
    }
    return KernelWaitForEvent(event, relativeTimeout100ns);
}

// The chips follow the machine's clock, so a sleep moves it on and only
// gives the processor up: the 500-ms settle sleep of every hold would
// otherwise be most of the real time a request takes under Wine.
void PlatformDelayExecution(int64_t relativeInterval100ns)
{
    EmuAdvanceUs(static_cast<uint64_t>(-relativeInterval100ns) / 10);
    KernelDelayExecution(0);
}

// The chips follow the machine's clock, so a busy wait only moves it on.
void PlatformStallMicroseconds(uint32_t microseconds)
{
    EmuAdvanceUs(microseconds);
}

uint8_t PlatformRaiseIrql(uint8_t newIrql)
{
    uint8_t old = PlatformGetCurrentIrql();
    SetThreadIrql(newIrql);
    return old;
}

void PlatformLowerIrql(uint8_t irql)
{
    SetThreadIrql(irql);
}

uint8_t PlatformGetCurrentIrql()
{
    ThreadIrql* entry = FindThreadIrql(PsGetCurrentThreadId());
    return entry ? entry->Irql : static_cast<uint8_t>(PlatformPassiveLevel);
}

// The emulated machine's processors are a count and a mask the driver is
// told; Wine runs the driver's threads as host threads that no processor of
// the machine owns, and pinning them to host processors of those numbers
// would pin them to processors that may not exist. So every thread is on the
// machine's first processor and may run on all of them, which is what a
// pinned thread's affinity is given back as.
uint32_t PlatformCurrentProcessor()
{
    uint32_t processors = ReportedProcessors(EmuProcessorCount(), EmuProcessorMask());
    uint32_t first = 0;
    while (first < 31 && !(processors & (1u << first)))
        ++first;
    return first;
}

uint32_t PlatformSetCurrentThreadAffinity(uint32_t)
{
    return ReportedProcessors(EmuProcessorCount(), EmuProcessorMask());
}

int PlatformRestoreCurrentThreadAffinity(uint32_t)
{
    return 1;
}

void PlatformInitializeSpinLock(PlatformSpinLock* lock)
{
    SpinLockOf(lock)->Held = 0;
}

void PlatformAcquireSpinLockAtDpcLevel(PlatformSpinLock* lock)
{
    while (__atomic_exchange_n(&SpinLockOf(lock)->Held, 1, __ATOMIC_ACQUIRE) != 0) {
        while (__atomic_load_n(&SpinLockOf(lock)->Held, __ATOMIC_RELAXED) != 0)
            __builtin_ia32_pause();
    }
}

void PlatformReleaseSpinLockFromDpcLevel(PlatformSpinLock* lock)
{
    __atomic_store_n(&SpinLockOf(lock)->Held, 0, __ATOMIC_RELEASE);
}
