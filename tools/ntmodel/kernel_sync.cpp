// IRQL, spin locks, events, waits, stalls and delays.
#include "interrupt_flag.h"
#include "kernel_irql.h"
#include "kernel_pool.h"
#include "model_kernel.h"
#include "model_routines.h"
#include "pci_machine.h"

namespace {

const uint32_t LongestStallUs = 50;

// A relative time-out (negative, 100-ns units) or an absolute one (positive)
// as a deadline on the virtual clock.
uint64_t DeadlineOf(int64_t timeout)
{
    if (timeout < 0)
        return ModelNowUs() + static_cast<uint64_t>((-timeout + 9) / 10);
    return static_cast<uint64_t>(timeout / 10);
}

void CheckWaitIrql(KernelCall& call, const int64_t* timeout)
{
    if (call.Thread->Irql >= DispatchLevel && (!timeout || *timeout != 0))
        call.Break("IRQL", "a wait with a time-out other than zero at IRQL %u", call.Thread->Irql);
}

// --suspend-caller: the caller's thread is suspended (for good) by a kernel
// APC in its first wait of a processor hold, once holding threads exist,
// unless a critical region holds the APC back until it ends.
void DeliverSuspension(KernelCall& call)
{
    ModelThread* thread = call.Thread;
    if (Settings.SuspendCaller != 1 || thread->DriverStarted || thread->Process != CallerProcess || Hold.Creations == 0)
        return;
    if (thread->CriticalRegion) {
        thread->SuspendPending = 1;
        return;
    }
    Settings.SuspendCaller = 2;
    SchedulerWait(call.Lock, nullptr, 0, 0, 0, 0);
}

// The wait that follows KeSetEvent with Wait TRUE gives the dispatcher lock
// up and goes back to the IRQL of before the KeSetEvent.
void EndWaitNext(KernelCall& call)
{
    ModelThread* thread = call.Thread;
    if (!thread->WaitNext)
        return;
    thread->WaitNext = 0;
    thread->Irql = thread->WaitNextIrql;
    if (thread->Irql < DispatchLevel)
        thread->RaisedTotalUs += ModelNowUs() - thread->RaisedAtUs;
}

// --affinity-change: a user sets the affinity of the caller's process in the
// caller's first wait of a processor hold, once holding threads exist. As on
// NT, every thread of the process takes the new affinity as its own.
void DeliverAffinityChange(KernelCall& call)
{
    ModelThread* thread = call.Thread;
    if (!Settings.AffinityChange || thread->DriverStarted || thread->Process != CallerProcess || Hold.Creations == 0)
        return;
    Settings.CallerAffinity = Settings.AffinityChange;
    Settings.AffinityChange = 0;
    for (ModelThread& other : Threads) {
        if (other.Process == CallerProcess && !other.Busy && other.State != ThreadFree && other.State != ThreadEnded)
            SchedulerSetAffinity(call.Lock, &other, Settings.CallerAffinity);
    }
}

uint32_t Wait(KernelCall& call, void* const* objects, uint32_t count, int waitAll, const int64_t* timeout)
{
    DeliverAffinityChange(call);
    DeliverSuspension(call);
    uint32_t status =
        SchedulerWait(call.Lock, objects, count, waitAll, timeout != nullptr, timeout ? DeadlineOf(*timeout) : 0);
    // The late thread of a cpu-timeout fault gets its processor once the
    // requester's wait for it has timed out.
    if (status == NtStatusTimeout && !call.Thread->DriverStarted && !EmuHasFault(EmuFaultCpuStraggler))
        SchedulerOpenGates();
    return status;
}

}  // namespace

uint8_t IrqlRaise(KernelCall& call, uint8_t newIrql)
{
    uint8_t old = call.Thread->Irql;
    if (newIrql < old)
        call.Break("IRQL", "raises to IRQL %u from the higher IRQL %u", newIrql, old);
    if (old < DispatchLevel && newIrql >= DispatchLevel) {
        call.Thread->RaisedAtUs = ModelNowUs();
        PoolPageOut();
    }
    call.Thread->Irql = newIrql;
    return old;
}

void IrqlLower(KernelCall& call, uint8_t newIrql)
{
    uint8_t old = call.Thread->Irql;
    if (newIrql > old)
        call.Break("IRQL", "lowers to IRQL %u from the lower IRQL %u", newIrql, old);
    if (newIrql < DispatchLevel && call.Thread->HeldSpinLockCount)
        call.Break("SPINLOCK", "lowers below DISPATCH_LEVEL holding a spin lock");
    call.Thread->Irql = newIrql;
    if (old >= DispatchLevel && newIrql < DispatchLevel) {
        call.Thread->RaisedTotalUs += ModelNowUs() - call.Thread->RaisedAtUs;
        // An affinity set at DISPATCH_LEVEL that leaves the processor out
        // takes effect now.
        SchedulerMoveIntoAffinity(call.Lock);
        // A lingering holding thread is slow to leave once released (a busy
        // machine gives it no processor for a while).
        uint32_t lingerMs = Settings.LingerMs ? Settings.LingerMs : EmuHasFault(EmuFaultCpuLinger) ? 300 : 0;
        if (call.Thread->DriverStarted && lingerMs)
            SchedulerWait(call.Lock, nullptr, 0, 0, 1, ModelNowUs() + lingerMs * 1000ull);
    }
}

extern "C" {

MODEL_FASTCALL uint8_t ModelKfRaiseIrql(uint8_t newIrql)
{
    KernelCall call("KfRaiseIrql", MODEL_CALLER, HighLevel);
    return IrqlRaise(call, newIrql);
}

MODEL_FASTCALL void ModelKfLowerIrql(uint8_t newIrql)
{
    KernelCall call("KfLowerIrql", MODEL_CALLER, HighLevel);
    IrqlLower(call, newIrql);
}

MODEL_STDCALL uint8_t ModelKeGetCurrentIrql()
{
    KernelCall call("KeGetCurrentIrql", MODEL_CALLER, HighLevel);
    return call.Thread->Irql;
}

MODEL_FASTCALL void ModelKefAcquireSpinLockAtDpcLevel(uint32_t* lock)
{
    KernelCall call("KefAcquireSpinLockAtDpcLevel", MODEL_CALLER, HighLevel);
    SpinLockTake(call, lock);
}

MODEL_FASTCALL void ModelKefReleaseSpinLockFromDpcLevel(uint32_t* lock)
{
    KernelCall call("KefReleaseSpinLockFromDpcLevel", MODEL_CALLER, HighLevel);
    SpinLockGive(call, lock);
}

MODEL_STDCALL void ModelKeInitializeEvent(NtDispatcherHeader* event, uint32_t type, uint8_t state)
{
    KernelCall call("KeInitializeEvent", MODEL_CALLER, HighLevel);
    event->Type = type == 0 ? NtNotificationEventObject : NtSynchronizationEventObject;
    event->Absolute = 0;
    event->Size = sizeof(NtDispatcherHeader) / 4;
    event->Inserted = 0;
    event->SignalState = state ? 1 : 0;
    event->WaitListHead[0] = event->WaitListHead[1] = reinterpret_cast<uint32_t>(&event->WaitListHead);
}

// With Wait TRUE, KeSetEvent returns at DISPATCH_LEVEL holding the
// dispatcher lock, which the wait that must follow releases.
MODEL_STDCALL int32_t ModelKeSetEvent(NtDispatcherHeader* event, int32_t, uint8_t wait)
{
    KernelCall call("KeSetEvent", MODEL_CALLER, DispatchLevel);
    if (wait && call.Thread->Irql > ApcLevel)
        call.Break("IRQL", "sets an event with Wait TRUE at IRQL %u; that form allows at most APC_LEVEL",
                   call.Thread->Irql);
    int32_t old = event->SignalState;
    event->SignalState = 1;
    SchedulerSignal(event);
    if (wait) {
        call.Thread->WaitNext = 1;
        call.Thread->WaitNextIrql = call.Thread->Irql;
        call.Thread->RaisedAtUs = ModelNowUs();
        call.Thread->Irql = DispatchLevel;
    }
    return old;
}

MODEL_STDCALL uint32_t ModelKeWaitForSingleObject(void* object, uint32_t, uint8_t, uint8_t, const int64_t* timeout)
{
    KernelCall call("KeWaitForSingleObject", MODEL_CALLER, DispatchLevel);
    EndWaitNext(call);
    BreakIfInterruptsMasked(call, "waits");
    CheckWaitIrql(call, timeout);
    return Wait(call, &object, 1, 0, timeout);
}

MODEL_STDCALL uint32_t ModelKeWaitForMultipleObjects(uint32_t count, void** objects, uint32_t waitType, uint32_t,
                                                     uint8_t, uint8_t, const int64_t* timeout, void* waitBlocks)
{
    KernelCall call("KeWaitForMultipleObjects", MODEL_CALLER, DispatchLevel);
    EndWaitNext(call);
    BreakIfInterruptsMasked(call, "waits");
    CheckWaitIrql(call, timeout);
    if (count == 0 || count > MaxWaitObjects || (count > 3 && !waitBlocks))
        call.Break("IRQL", "waits for %u objects with%s wait blocks", count, waitBlocks ? "" : "out");
    // A thread kept back by a cpu-straggler fault runs once its threads are waited for.
    SchedulerOpenGates();
    return Wait(call, objects, count, waitType == 0, timeout);
}

MODEL_STDCALL uint32_t ModelKeDelayExecutionThread(uint8_t, uint8_t, const int64_t* interval)
{
    KernelCall call("KeDelayExecutionThread", MODEL_CALLER, ApcLevel);
    BreakIfInterruptsMasked(call, "sleeps");
    SchedulerWait(call.Lock, nullptr, 0, 0, 1, DeadlineOf(*interval));
    return NtStatusSuccess;
}

MODEL_STDCALL void ModelKeStallExecutionProcessor(uint32_t microseconds)
{
    KernelCall call("KeStallExecutionProcessor", MODEL_CALLER, HighLevel);
    if (microseconds > LongestStallUs)
        call.Break("STALL", "stalls %u us; a stall is at most %u us", microseconds, LongestStallUs);
    if (microseconds > LongestMaskedStallUs)
        BreakIfInterruptsMasked(call, "stalls for longer than a few accesses");
    ModelAdvanceUs(microseconds);
}

}  // extern "C"

extern "C" {

MODEL_STDCALL void ModelKeEnterCriticalRegion()
{
    KernelCall call("KeEnterCriticalRegion", MODEL_CALLER, ApcLevel);
    ++call.Thread->CriticalRegion;
}

MODEL_STDCALL void ModelKeLeaveCriticalRegion()
{
    KernelCall call("KeLeaveCriticalRegion", MODEL_CALLER, ApcLevel);
    if (call.Thread->CriticalRegion == 0)
        call.Break("IRQL", "leaves a critical region it did not enter");
    // A held-back suspension is delivered now, outside the driver's work,
    // and lifted again by whoever asked for it.
    if (--call.Thread->CriticalRegion == 0 && call.Thread->SuspendPending) {
        call.Thread->SuspendPending = 0;
        Settings.SuspendCaller = 2;
    }
}

}  // extern "C"

uint64_t CallerHeldUs()
{
    std::lock_guard<std::mutex> lock(KernelLock);
    const ModelThread& caller = Threads[0];
    uint64_t total = caller.RaisedTotalUs;
    if (caller.Irql >= DispatchLevel)
        total += ModelNowUs() - caller.RaisedAtUs;
    return total;
}
