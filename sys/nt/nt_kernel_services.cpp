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

// Every system thread the driver started and has not yet seen end, by a
// referenced thread object: the unload waits for them, since a thread still
// running in a freed driver image brings the machine down.
const unsigned ThreadReferenceCount = KernelSystemThreadCapacity;
PVOID ThreadReferences[ThreadReferenceCount];
// The requests run one at a time and the unload after the last, so one set
// of wait blocks serves every wait for the threads.
KWAIT_BLOCK ThreadWaitBlocks[ThreadReferenceCount];

PVOID* FreeThreadReference()
{
    for (unsigned i = 0; i < ThreadReferenceCount; ++i) {
        if (!ThreadReferences[i])
            return &ThreadReferences[i];
    }
    return 0;
}

// A kernel handle keeps the thread out of the calling process's handle table.
// NT 4.0 knows no kernel handles and refuses the attribute: there the handle
// is closed as soon as the thread is referenced.
NTSTATUS CreateThread(HANDLE* thread, ThreadStartSlot* slot)
{
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, 0, OBJ_KERNEL_HANDLE, 0, 0);
    NTSTATUS status = PsCreateSystemThread(thread, 0, &attributes, 0, 0, SystemThreadTrampoline, slot);
    if (status == STATUS_INVALID_PARAMETER)
        status = PsCreateSystemThread(thread, 0, 0, 0, 0, SystemThreadTrampoline, slot);
    return status;
}

// The highest priority the kernel's ready queues accept; a request above it
// is served with this one.
const KPRIORITY HighestThreadPriority = HIGH_PRIORITY;

#ifdef _WIN64
// The 64-bit headers read the current thread from the processor block
// inline; a kernel that runs drivers in a user process keeps it elsewhere, so
// ask the kernel.
extern "C" PKTHREAD NTAPI ImportedKeGetCurrentThread() __asm__("KeGetCurrentThread");
PKTHREAD CurrentThread()
{
    return ImportedKeGetCurrentThread();
}
#else
PKTHREAD CurrentThread()
{
    return KeGetCurrentThread();
}
#endif

}  // namespace

int KernelQueryProcessors(uint8_t* numberOfProcessors, uint32_t* activeProcessorsMask)
{
    PELMIX_SYSTEM_BASIC_INFORMATION information;
    NTSTATUS status = ZwQuerySystemInformation(PelmixSystemBasicInformationClass, &information, sizeof(information), 0);
    if (!NT_SUCCESS(status))
        return 0;
    *numberOfProcessors = static_cast<uint8_t>(information.NumberOfProcessors);
    *activeProcessorsMask = static_cast<uint32_t>(information.ActiveProcessorsAffinityMask);
    return 1;
}

int KernelCreateSystemThread(PlatformThreadStart start, void* context)
{
    PVOID* reference = FreeThreadReference();
    ThreadStartSlot* slot = reference ? ClaimThreadStartSlot() : 0;
    if (!slot)
        return 0;
    slot->Start = start;
    slot->Context = context;
    HANDLE thread;
    NTSTATUS status = CreateThread(&thread, slot);
    if (!NT_SUCCESS(status)) {
        __atomic_store_n(&slot->InUse, 0, __ATOMIC_RELEASE);
        return 0;
    }
    // Referenced as a thread, so the reference is one to wait on. It cannot
    // fail for the handle just given; if it did, the thread could not be
    // waited for: report no thread, and the hold lets it go.
    status = ObReferenceObjectByHandle(thread, SYNCHRONIZE, ThreadObjectType(), KernelMode, reference, 0);
    ZwClose(thread);
    if (!NT_SUCCESS(status))
        return 0;
    // A holding thread runs at real-time priority from the start, so other
    // work on a busy machine cannot keep it from its processor until the
    // hold times out.
    KeSetPriorityThread(static_cast<PKTHREAD>(*reference), HighestThreadPriority);
    return 1;
}

int KernelWaitForSystemThreads(int64_t relativeTimeout100ns)
{
    PVOID threads[ThreadReferenceCount];
    ULONG count = 0;
    for (unsigned i = 0; i < ThreadReferenceCount; ++i) {
        if (ThreadReferences[i])
            threads[count++] = ThreadReferences[i];
    }
    if (count > 0) {
        LARGE_INTEGER timeout;
        timeout.QuadPart = relativeTimeout100ns;
        KeWaitForMultipleObjects(count, threads, WaitAll, Executive, KernelMode, FALSE, &timeout, ThreadWaitBlocks);
    }
    // Whatever the wait gave, let go of every thread that has ended.
    int allEnded = 1;
    for (unsigned i = 0; i < ThreadReferenceCount; ++i) {
        if (!ThreadReferences[i])
            continue;
        LARGE_INTEGER now = {};
        if (KeWaitForSingleObject(ThreadReferences[i], Executive, KernelMode, FALSE, &now) != STATUS_SUCCESS) {
            allEnded = 0;
            continue;
        }
        ObDereferenceObject(ThreadReferences[i]);
        ThreadReferences[i] = 0;
    }
    return allEnded;
}

unsigned KernelRunningSystemThreads(PVOID* threads, unsigned capacity)
{
    unsigned count = 0;
    for (unsigned i = 0; i < ThreadReferenceCount && count < capacity; ++i) {
        if (ThreadReferences[i])
            threads[count++] = ThreadReferences[i];
    }
    return count;
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

void PlatformInitializeRequestLock(PlatformEvent* lock)
{
    KeInitializeEvent(reinterpret_cast<PKEVENT>(lock->Opaque), SynchronizationEvent, TRUE);
}

void PlatformAcquireRequestLock(PlatformEvent* lock)
{
    KeWaitForSingleObject(lock->Opaque, Executive, KernelMode, FALSE, 0);
}

void PlatformReleaseRequestLock(PlatformEvent* lock)
{
    KeSetEvent(reinterpret_cast<PKEVENT>(lock->Opaque), 0, FALSE);
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
