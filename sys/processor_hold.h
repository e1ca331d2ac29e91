// Exclusive use of the machine while the card is reconfigured: every other
// processor is captured by a spinning system thread at DISPATCH_LEVEL and the
// requesting thread raises its own IRQL.
#ifndef PELMIX_PROCESSOR_HOLD_H
#define PELMIX_PROCESSOR_HOLD_H

#include <stdint.h>

#include "platform.h"

enum : int32_t { HoldUnchanged = -1 };

// Who settles a hold once every holding thread spins: the requester takes it,
// or the watch gives it up because the requester had no processor to take it
// on (a change of its process's affinity can leave it only held ones).
enum : uint32_t { HoldUnsettled = 0, HoldTaken = 1, HoldGivenUp = 2 };

struct ProcessorHoldContext {
    uint8_t SavedIrql = 0;            // requester's IRQL before the raise
    PlatformEvent AllHeldEvent {};    // set by the last holding thread to arrive
    PlatformSpinLock ArrivalLock {};  // guards ArrivedCount
    uint8_t ProcessorCount = 0;       // processors to hold, the requester's included
    uint8_t ArrivedCount = 0;         // holding threads at DISPATCH_LEVEL
    // Written by the requester, polled by every holding thread: each turn of
    // their spin reads it from memory (atomic accesses only). Set while no
    // hold is in progress, so that a thread of an earlier driver lifetime
    // still on its way out leaves.
    uint32_t ReleaseFlag = 1;
    // The requester's priority before the hold raised it, given back once
    // its IRQL is lowered again; HoldUnchanged when the hold left it alone.
    int32_t SavedPriority = HoldUnchanged;
    // The requester's affinity before it was pinned to its processor for the
    // hold, given back beside its priority; 0 when the hold left it alone.
    uint32_t SavedAffinity = 0;
    // The processor each holding thread pins itself to, never the
    // requester's; a thread takes the next entry (ClaimedCount, atomic).
    uint8_t HolderProcessors[32] {};
    uint8_t HolderCount = 0;
    uint32_t ClaimedCount = 0;
    // Settled once, by whichever of the requester and the watch comes first
    // (compare-exchange from HoldUnsettled).
    uint32_t Settlement = HoldUnsettled;
    // Set by the requester on every way out of its wait for the holders, so
    // that the watch ends.
    PlatformEvent RequesterDoneEvent {};
};

// Called at PASSIVE_LEVEL. 0: the caller runs at DISPATCH_LEVEL and every
// other processor spins, each held by a thread pinned to it; the caller is
// pinned to its own processor until the release. Otherwise 8 (processor query failed), 10 (a holding
// thread could not be created) or 11 (not all held within 2 seconds, a
// thread of an earlier hold still running 2 seconds on, or the caller given
// no processor to take the hold on within 4 seconds), with the IRQL, the
// priority and, where it still fits the caller's process, the affinity as
// they were.
uint32_t HoldProcessors();
// Lets the holding threads go, lowers the caller to its saved IRQL and then
// gives it back its affinity and its priority. The threads leave on their own; the next hold
// and the unload wait for them.
void ReleaseProcessors();
// Waits until every holding thread has ended and returns 1; 0 when one still
// runs after a minute. The driver calls it before it unloads.
int WaitForHoldingThreadsToEnd();
// Start routine of each holding thread; context is the driver's ProcessorHold.
void HoldingThread(void* context);
// Start routine of the hold's watch, a system thread beside the holding
// ones: it gives the hold up when the requester has not taken it in time.
void HoldWatchThread(void* context);

#endif
