// Spin locks in each form the DDK offers a driver on x86: the HAL's
// KfAcquireSpinLock and KfReleaseSpinLock (KeAcquireSpinLock and
// KeReleaseSpinLock in the headers) and XP's in-stack queued spin locks, in
// the HAL's form that raises to DISPATCH_LEVEL and the kernel's for a caller
// already there (the kernel's Kef forms are in kernel_sync.cpp). All keep one owner
// mark in the lock word, so the rules see a lock taken one way and given
// back another.
#include "kernel_irql.h"
#include "model_routines.h"

namespace {

uint32_t OwnerMark(const ModelThread* thread)
{
    return (static_cast<uint32_t>(thread->Index + 1) << 1) | 1;
}

// KLOCK_QUEUE_HANDLE of the 32-bit kernel: the queue entry (Next, Lock),
// then the IRQL before the acquire.
struct LockQueueHandle {
    uint32_t Next;
    uint32_t* Lock;
    uint8_t OldIrql;
};
static_assert(sizeof(LockQueueHandle) == 12, "KLOCK_QUEUE_HANDLE is 12 bytes on i686");

LockQueueHandle* QueueHandle(void* handle)
{
    return static_cast<LockQueueHandle*>(handle);
}

void TakeQueued(KernelCall& call, uint32_t* lock, LockQueueHandle* handle)
{
    handle->Next = 0;
    handle->Lock = lock;
    SpinLockTake(call, lock);
}

}  // namespace

void SpinLockTake(KernelCall& call, uint32_t* lock)
{
    if (call.Thread->Irql < DispatchLevel)
        call.Break("IRQL", "acquires a spin lock at IRQL %u, below DISPATCH_LEVEL", call.Thread->Irql);
    volatile uint32_t* word = lock;
    if (*word == OwnerMark(call.Thread))
        call.Break("SPINLOCK", "acquires a spin lock its processor already holds");
    if (*word != 0)
        SchedulerSpinUntilFree(call.Lock, word);
    *word = OwnerMark(call.Thread);
    if (call.Thread->HeldSpinLockCount >= MaxHeldSpinLocks)
        call.Break("SPINLOCK", "holds more than %d spin locks at once", static_cast<int>(MaxHeldSpinLocks));
    call.Thread->HeldSpinLocks[call.Thread->HeldSpinLockCount++] = lock;
}

void SpinLockGive(KernelCall& call, uint32_t* lock)
{
    if (call.Thread->Irql < DispatchLevel)
        call.Break("IRQL", "releases a spin lock at IRQL %u, below DISPATCH_LEVEL", call.Thread->Irql);
    volatile uint32_t* word = lock;
    if (*word != OwnerMark(call.Thread))
        call.Break("SPINLOCK", "releases a spin lock its processor does not hold");
    *word = 0;
    ModelThread* thread = call.Thread;
    for (uint32_t i = 0; i < thread->HeldSpinLockCount; ++i) {
        if (thread->HeldSpinLocks[i] == lock) {
            thread->HeldSpinLocks[i] = thread->HeldSpinLocks[--thread->HeldSpinLockCount];
            break;
        }
    }
    SchedulerWakeSpinners();
}

extern "C" {

MODEL_FASTCALL uint8_t ModelKfAcquireSpinLock(uint32_t* lock)
{
    KernelCall call("KfAcquireSpinLock", MODEL_CALLER, DispatchLevel);
    uint8_t old = IrqlRaise(call, DispatchLevel);
    SpinLockTake(call, lock);
    return old;
}

MODEL_FASTCALL void ModelKfReleaseSpinLock(uint32_t* lock, uint8_t newIrql)
{
    KernelCall call("KfReleaseSpinLock", MODEL_CALLER, HighLevel);
    SpinLockGive(call, lock);
    IrqlLower(call, newIrql);
}

MODEL_FASTCALL void ModelKeAcquireInStackQueuedSpinLock(uint32_t* lock, void* handle)
{
    KernelCall call("KeAcquireInStackQueuedSpinLock", MODEL_CALLER, DispatchLevel);
    uint8_t old = IrqlRaise(call, DispatchLevel);
    TakeQueued(call, lock, QueueHandle(handle));
    QueueHandle(handle)->OldIrql = old;
}

MODEL_FASTCALL void ModelKeReleaseInStackQueuedSpinLock(void* handle)
{
    KernelCall call("KeReleaseInStackQueuedSpinLock", MODEL_CALLER, HighLevel);
    SpinLockGive(call, QueueHandle(handle)->Lock);
    IrqlLower(call, QueueHandle(handle)->OldIrql);
}

MODEL_FASTCALL void ModelKeAcquireInStackQueuedSpinLockAtDpcLevel(uint32_t* lock, void* handle)
{
    KernelCall call("KeAcquireInStackQueuedSpinLockAtDpcLevel", MODEL_CALLER, HighLevel);
    TakeQueued(call, lock, QueueHandle(handle));
}

MODEL_FASTCALL void ModelKeReleaseInStackQueuedSpinLockFromDpcLevel(void* handle)
{
    KernelCall call("KeReleaseInStackQueuedSpinLockFromDpcLevel", MODEL_CALLER, HighLevel);
    SpinLockGive(call, QueueHandle(handle)->Lock);
}

}  // extern "C"
