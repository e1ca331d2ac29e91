#include "processor_hold.h"

#include "delay.h"
#include "driver_state.h"
#include "pelmix_ioctl.h"
#include "processor_set.h"

namespace {

const int32_t HoldPriority = 32;             // one above HIGH_PRIORITY
const int64_t HoldTimeout100ns = -20000000;  // 2 seconds, relative
// Threads of an earlier hold are on their way out within microseconds of its
// release; one that has not had a processor yet gets one while we wait.
const int64_t EarlierThreadsTimeout100ns = -20000000;
// The requester's wait for its holders and as long again to get a processor
// and take the hold once they spin.
const int64_t WatchTimeout100ns = -40000000;   // 4 seconds, relative
const int64_t UnloadTimeout100ns = -50000000;  // 5 seconds
// A minute of waits: each lets a thread pinned to a processor it never got
// leave on any other, so only a machine whose every processor stays taken
// for that long keeps one from its end, and the service stop still ends.
const uint32_t UnloadWaits = 12;
const uint32_t SettleMs = 500;

// The release flag crosses processors without a lock: one writer, many
// readers that must see the change on their next turn.
void SetReleaseFlag(ProcessorHoldContext* hold, uint32_t value)
{
    __atomic_store_n(&hold->ReleaseFlag, value, __ATOMIC_RELEASE);
}

bool Released(const ProcessorHoldContext* hold)
{
    return __atomic_load_n(&hold->ReleaseFlag, __ATOMIC_ACQUIRE) != 0;
}

// 1 when this call settled the hold as settlement, 0 when the other side had.
int Settle(ProcessorHoldContext* hold, uint32_t settlement)
{
    uint32_t unsettled = HoldUnsettled;
    return __atomic_compare_exchange_n(&hold->Settlement, &unsettled, settlement, false, __ATOMIC_ACQ_REL,
                                       __ATOMIC_ACQUIRE);
}

// The requester stays on the processor it runs on for the whole hold, and
// each holding thread takes another of the held ones: a thread left free to
// land on the requester's processor spins there at DISPATCH_LEVEL, and a
// requester that may use no other processor never runs again. The number is
// read at DISPATCH_LEVEL, where the thread cannot be moved. Returns the
// requester's affinity before it was pinned.
uint32_t PinRequester(ProcessorHoldContext* hold, uint32_t processors)
{
    uint8_t oldIrql = PlatformRaiseIrql(PlatformDispatchLevel);
    uint32_t own = PlatformCurrentProcessor() & 31;
    uint32_t oldAffinity = PlatformSetCurrentThreadAffinity(1u << own);
    PlatformLowerIrql(oldIrql);

    hold->HolderCount = 0;
    hold->ClaimedCount = 0;
    for (uint32_t bit = 0; bit < 32 && hold->HolderCount + 1u < hold->ProcessorCount; ++bit) {
        if ((processors & (1u << bit)) && bit != own)
            hold->HolderProcessors[hold->HolderCount++] = static_cast<uint8_t>(bit);
    }
    return oldAffinity;
}

// On every way out of a hold, once the IRQL is down again. A user who set
// the program's affinity meanwhile gave the requester the process's new one,
// which it keeps when the old one no longer fits the process.
void GiveBackPlacement(uint32_t affinity, int32_t priority)
{
    PlatformRestoreCurrentThreadAffinity(affinity);
    PlatformSetCurrentThreadPriority(priority);
}

// The requester's way out before its holders all spin: threads that arrive
// later find the flag set and leave at once, and the watch ends.
uint32_t AbandonHold(ProcessorHoldContext* hold, uint32_t affinity, int32_t priority, uint32_t result)
{
    SetReleaseFlag(hold, 1);
    PlatformSetEvent(&hold->RequesterDoneEvent);
    GiveBackPlacement(affinity, priority);
    return result;
}

// Tells the processor it is in a spin-wait loop; no effect on the logic.
inline void SpinPause()
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

uint32_t HoldProcessors()
{
    ProcessorHoldContext* hold = &Driver.ProcessorHold;
    DelayMs(SettleMs);

    // The context is shared with every holding thread: a thread of an earlier
    // hold still on its way must not be counted in this one.
    if (!PlatformWaitForSystemThreads(EarlierThreadsTimeout100ns))
        return PELMIX_RESULT_HOLD_TIMEOUT;

    uint8_t numberOfProcessors = 0;
    uint32_t activeMask = 0;
    if (!PlatformQueryProcessors(&numberOfProcessors, &activeMask))
        return PELMIX_RESULT_CPU_QUERY;

    if (numberOfProcessors <= 1) {
        hold->SavedIrql = PlatformRaiseIrql(PlatformDispatchLevel);
        return PELMIX_RESULT_OK;
    }

    PlatformInitializeEvent(&hold->AllHeldEvent);
    PlatformInitializeEvent(&hold->RequesterDoneEvent);
    hold->ArrivedCount = 0;
    hold->Settlement = HoldUnsettled;
    SetReleaseFlag(hold, 0);
    PlatformInitializeSpinLock(&hold->ArrivalLock);
    uint32_t processors = ReportedProcessors(numberOfProcessors, activeMask);
    hold->ProcessorCount = static_cast<uint8_t>(ProcessorsIn(processors));

    int32_t oldPriority = PlatformSetCurrentThreadPriority(HoldPriority);
    uint32_t oldAffinity = PinRequester(hold, processors);
    int created = 1;
    for (uint32_t i = 1; i < hold->ProcessorCount && created; ++i)
        created = PlatformCreateSystemThread(HoldingThread, hold);
    if (created)
        created = PlatformCreateSystemThread(HoldWatchThread, hold);
    if (!created)
        return AbandonHold(hold, oldAffinity, oldPriority, PELMIX_RESULT_THREAD_CREATE);
    if (!PlatformWaitForEvent(&hold->AllHeldEvent, HoldTimeout100ns))
        return AbandonHold(hold, oldAffinity, oldPriority, PELMIX_RESULT_HOLD_TIMEOUT);
    // Taken at DISPATCH_LEVEL, where no change of affinity can move the
    // requester off its processor any more.
    uint8_t oldIrql = PlatformRaiseIrql(PlatformDispatchLevel);
    if (!Settle(hold, HoldTaken)) {
        // The watch gave up and let the holders go.
        PlatformLowerIrql(oldIrql);
        GiveBackPlacement(oldAffinity, oldPriority);
        return PELMIX_RESULT_HOLD_TIMEOUT;
    }
    PlatformSetEvent(&hold->RequesterDoneEvent);
    // The raised priority stays until the IRQL is raised: dropped before,
    // other work could take the processor while every other one spins.
    hold->SavedPriority = oldPriority;
    hold->SavedAffinity = oldAffinity;
    hold->SavedIrql = oldIrql;
    return PELMIX_RESULT_OK;
}

int WaitForHoldingThreadsToEnd()
{
    // The image goes once this returns, so a short time-out would free it
    // under a thread that can still run its code.
    for (uint32_t wait = 0; wait < UnloadWaits; ++wait) {
        if (PlatformWaitForSystemThreads(UnloadTimeout100ns))
            return 1;
    }
    return 0;
}

void ReleaseProcessors()
{
    ProcessorHoldContext* hold = &Driver.ProcessorHold;
    SetReleaseFlag(hold, 1);
    PlatformLowerIrql(hold->SavedIrql);
    if (hold->SavedAffinity != 0) {
        PlatformRestoreCurrentThreadAffinity(hold->SavedAffinity);
        hold->SavedAffinity = 0;
    }
    if (hold->SavedPriority != HoldUnchanged) {
        PlatformSetCurrentThreadPriority(hold->SavedPriority);
        hold->SavedPriority = HoldUnchanged;
    }
}

void HoldingThread(void* context)
{
    ProcessorHoldContext* hold = static_cast<ProcessorHoldContext*>(context);
    // Its own processor first: at DISPATCH_LEVEL it could no longer move.
    // A thread of an earlier driver lifetime, still on its way out before
    // this one's first hold, finds none to take.
    uint32_t index = __atomic_fetch_add(&hold->ClaimedCount, 1, __ATOMIC_ACQ_REL);
    if (index < hold->HolderCount)
        PlatformSetCurrentThreadAffinity(1u << hold->HolderProcessors[index]);
    uint8_t oldIrql = PlatformRaiseIrql(PlatformDispatchLevel);

    PlatformAcquireSpinLockAtDpcLevel(&hold->ArrivalLock);
    hold->ArrivedCount += 1;
    if (hold->ArrivedCount == hold->ProcessorCount - 1)
        PlatformSetEvent(&hold->AllHeldEvent);
    PlatformReleaseSpinLockFromDpcLevel(&hold->ArrivalLock);

    while (!Released(hold))
        SpinPause();

    PlatformLowerIrql(oldIrql);
    PlatformTerminateSystemThread();
}

// Once every holding thread spins, only the requester can end the hold; one
// that gets no processor (each it may use is held) never would. The watch
// runs on the processor the requester was pinned to, free then.
void HoldWatchThread(void* context)
{
    ProcessorHoldContext* hold = static_cast<ProcessorHoldContext*>(context);
    if (!PlatformWaitForEvent(&hold->RequesterDoneEvent, WatchTimeout100ns) && Settle(hold, HoldGivenUp))
        SetReleaseFlag(hold, 1);
    PlatformTerminateSystemThread();
}
