// Kernel services of the processor hold and the delays, over NT kernel
// routines: processor query, system threads, priority, events and sleeps.
// Every build of the driver for an NT kernel shares this file; what depends on
// the machine underneath is in nt_machine_services.cpp or its replacement.
#include "nt_kernel_services.h"

#include "nt_kernel_calls.h"

static_assert(sizeof(KEVENT) <= sizeof(PlatformEvent), "an event fits its opaque storage");

namespace {

// A system thread starts with one context pointer; the start routine and its
// context travel in a slot that the new thread frees as soon as it has read it.
struct ThreadStartSlot {
    PlatformThreadStart Start;
    void* Context;
    volatile LONG InUse;
};

const unsigned ThreadStartSlotCount = 64;
ThreadStartSlot ThreadStartSlots[ThreadStartSlotCount];

VOID NTAPI SystemThreadTrampoline(PVOID slotAddress)
{
    ThreadStartSlot* slot = static_cast<ThreadStartSlot*>(slotAddress);
    PlatformThreadStart start = slot->Start;
    void* context = slot->Context;
    __atomic_store_n(&slot->InUse, 0, __ATOMIC_RELEASE);
    start(context);
    PsTerminateSystemThread(STATUS_SUCCESS);
}

ThreadStartSlot* ClaimThreadStartSlot()
{
    for (unsigned i = 0; i < ThreadStartSlotCount; ++i) {
        if (__atomic_exchange_n(&ThreadStartSlots[i].InUse, 1, __ATOMIC_ACQUIRE) == 0)
            return &ThreadStartSlots[i];
    }
    return 0;
}

// The highest priority the kernel's ready queues accept; a request above it
// is served with this one.
const KPRIORITY HighestThreadPriority = HIGH_PRIORITY;

#ifdef _WIN64
// The 64-bit headers read the current thread from the processor block
// inline; a kernel that runs drivers in a user process keeps it elsewhere, so
// ask the kernel.
extern "C" PKTHREAD NTAPI ImportedKeGetCurrentThread() __asm__("KeGetCurrentThread");
PKTHREAD CurrentThread() { return ImportedKeGetCurrentThread(); }
#else
PKTHREAD CurrentThread() { return KeGetCurrentThread(); }
#endif

}  // namespace

int KernelQueryProcessors(uint8_t* numberOfProcessors, uint32_t* activeProcessorsMask)
{
    PELMIX_SYSTEM_BASIC_INFORMATION information;
    NTSTATUS status = ZwQuerySystemInformation(PELMIX_SYSTEM_BASIC_INFORMATION_CLASS, &information,
                                               sizeof(information), 0);
    if (!NT_SUCCESS(status))
        return 0;
    *numberOfProcessors = static_cast<uint8_t>(information.NumberOfProcessors);
    *activeProcessorsMask = static_cast<uint32_t>(information.ActiveProcessorsAffinityMask);
    return 1;
}

int KernelCreateSystemThread(PlatformThreadStart start, void* context)
{
    ThreadStartSlot* slot = ClaimThreadStartSlot();
    if (!slot)
        return 0;
    slot->Start = start;
    slot->Context = context;
    HANDLE thread;
    NTSTATUS status = PsCreateSystemThread(&thread, 0, 0, 0, 0, SystemThreadTrampoline, slot);
    if (!NT_SUCCESS(status)) {
        __atomic_store_n(&slot->InUse, 0, __ATOMIC_RELEASE);
        return 0;
    }
    ZwClose(thread);
    return 1;
}

void PlatformTerminateSystemThread()
{
    PsTerminateSystemThread(STATUS_SUCCESS);
}

int32_t PlatformSetCurrentThreadPriority(int32_t priority)
{
    KPRIORITY accepted = priority > HighestThreadPriority ? HighestThreadPriority : priority;
    return KeSetPriorityThread(CurrentThread(), accepted);
}

void PlatformInitializeEvent(PlatformEvent* event)
{
    KeInitializeEvent(reinterpret_cast<PKEVENT>(event->Opaque), NotificationEvent, FALSE);
}

void PlatformSetEvent(PlatformEvent* event)
{
    KeSetEvent(reinterpret_cast<PKEVENT>(event->Opaque), 16, FALSE);
}

int KernelWaitForEvent(PlatformEvent* event, int64_t relativeTimeout100ns)
{
    LARGE_INTEGER timeout;
    timeout.QuadPart = relativeTimeout100ns;
    NTSTATUS status = KeWaitForSingleObject(event->Opaque, Executive, KernelMode, FALSE, &timeout);
    return status == STATUS_SUCCESS ? 1 : 0;
}

void KernelDelayExecution(int64_t relativeInterval100ns)
{
    LARGE_INTEGER interval;
    interval.QuadPart = relativeInterval100ns;
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
}
