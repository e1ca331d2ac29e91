// Kernel services of the host platform: real threads for the processor
// hold, an event and a spin lock for its handshake, a per-thread IRQL and
// priority, and delays that advance the machine's virtual clock instead of
// taking wall time.
//
// Faults of the machine file act here: cpu-query fails the query,
// cpu-thread fails the last thread creation of a hold, and cpu-timeout keeps
// the last thread of a hold from ever getting a processor: the wait for the
// event then times out at once in virtual time, and that thread runs only
// after the time-out, so it finds the release flag already set and leaves.
// cpu-straggler is cpu-timeout whose late thread gets its processor only
// when the driver next waits for its threads or starts the threads of its
// next hold; cpu-linger keeps every holding thread for a while (real time)
// on its way out after the release.
//
// On this host PlatformTerminateSystemThread cannot end the thread from the
// inside; it marks the thread, which ends when its start routine returns
// (the driver's holding thread calls it last).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "host_internal.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "platform.h"

namespace {

const uint8_t DispatchLevel = PlatformDispatchLevel;
const int32_t DefaultPriority = 8;
const size_t DelayLogCapacity = 1000000;
// Real-time safety nets: a correct driver never comes near them.
const auto ArrivalPatience = std::chrono::seconds(10);
const auto LingerTime = std::chrono::milliseconds(300);

struct HostEvent {
    std::atomic<uint32_t> Signalled;
};
struct HostSpinLock {
    std::atomic_flag Taken;
};
struct HostRequestLock {
    uint32_t Free;  // under KernelMutex
};
static_assert(sizeof(HostRequestLock) <= sizeof(PlatformEvent), "request lock storage");
static_assert(sizeof(HostEvent) <= sizeof(PlatformEvent), "event storage");
static_assert(sizeof(HostSpinLock) <= sizeof(PlatformSpinLock), "spin lock storage");

std::mutex KernelMutex;
std::condition_variable KernelChanged;

thread_local uint8_t CurrentIrql = 0;
thread_local int32_t CurrentPriority = DefaultPriority;
thread_local bool IsHoldingThread = false;
thread_local uint64_t RaisedAtUs = 0;
thread_local uint32_t ThreadHold = 0;  // the hold a holding thread was created for

std::atomic<uint64_t> HeldUs {0};
std::atomic<uint32_t> Created {0};
std::atomic<uint32_t> Running {0};
std::atomic<uint32_t> Spinning {0};
std::atomic<uint32_t> EventWaits {0};
std::atomic<uint32_t> RequestersRaised {0};  // requesting threads at DISPATCH_LEVEL
std::atomic<uint32_t> RequestLockWaiters {0};

// The hold in progress, counted from its processor query.
uint32_t HoldNumber;
uint32_t ExpectedThreads;  // the processor count the driver will compute, less one
uint32_t CreationsThisHold;
uint32_t GatedThisHold;
uint32_t ArrivedThisHold;  // holding threads past their arrival (lock released)
bool GateOpen = true;
bool StragglerGated;                    // the gate waits for the driver's next wait or hold
std::atomic<bool> PauseWanted {false};  // window accesses wait while set
uint32_t PausedAccesses;                // under KernelMutex

// Under KernelMutex. Never destroyed: a holding thread a faulty driver left
// spinning must not end the process at exit.
std::vector<std::thread>& Threads = *new std::vector<std::thread>;

std::vector<HostDelay> DelayLog;  // under KernelMutex
uint32_t DelayTotal;
// Stalls with no other platform call between them are one busy wait.
std::atomic<bool> StallRunOpen {false};

std::atomic<uint32_t> Misuses {0};
std::string FirstMisuse;  // under KernelMutex

uint32_t HeldProcessorCount(uint32_t processors, uint32_t mask)
{
    uint32_t count = 0;
    for (uint32_t bit = 0; bit < 32 && count < processors; ++bit) {
        if (mask & (1u << bit))
            ++count;
    }
    return count;
}

void RecordDelay(uint32_t kind, int64_t amount)
{
    std::lock_guard<std::mutex> lock(KernelMutex);
    bool continues = kind == HostDelayStall && StallRunOpen.exchange(true) && DelayTotal > 0 &&
        DelayTotal <= DelayLogCapacity && DelayLog.back().Kind == HostDelayStall;
    if (kind != HostDelayStall)
        StallRunOpen.store(false);
    if (continues) {
        HostDelay& run = DelayLog.back();
        run.Amount += amount;
        run.Calls += 1;
        run.Longest = amount > run.Longest ? amount : run.Longest;
        return;
    }
    ++DelayTotal;
    if (DelayLog.size() < DelayLogCapacity)
        DelayLog.push_back(HostDelay {kind, amount, EmuNowUs(), CurrentIrql, 1, amount});
}

void RunHoldingThread(PlatformThreadStart start, void* context, bool gated, uint32_t hold)
{
    IsHoldingThread = true;
    ThreadHold = hold;
    CurrentIrql = 0;
    if (gated) {
        std::unique_lock<std::mutex> lock(KernelMutex);
        KernelChanged.wait(lock, [] { return GateOpen; });
    }
    start(context);
    if (CurrentIrql != 0)
        HostReportMisuse("holding thread ended above PASSIVE_LEVEL");
    std::lock_guard<std::mutex> lock(KernelMutex);
    Running.fetch_sub(1);
    KernelChanged.notify_all();
}

// Joins finished threads; called when none is running.
void JoinThreadsLocked()
{
    for (std::thread& thread : Threads) {
        if (thread.joinable())
            thread.join();
    }
    Threads.clear();
}

}  // namespace

void HostReportMisuse(const char* what)
{
    if (Misuses.fetch_add(1) == 0) {
        std::lock_guard<std::mutex> lock(KernelMutex);
        FirstMisuse = what;
    }
}

uint32_t HostMisuseCount()
{
    return Misuses.load();
}

const char* HostFirstMisuse()
{
    return FirstMisuse.c_str();
}

void HostResetKernel()
{
    {
        std::lock_guard<std::mutex> lock(KernelMutex);
        GateOpen = true;
        KernelChanged.notify_all();
    }
    bool finished = HostWaitForHoldingThreads(5000);
    {
        std::lock_guard<std::mutex> lock(KernelMutex);
        if (finished) {
            JoinThreadsLocked();
        } else {
            // A thread that never leaves its spin: abandon it rather than hang.
            for (std::thread& thread : Threads) {
                if (thread.joinable())
                    thread.detach();
            }
            Threads.clear();
        }
        DelayLog.clear();
        DelayTotal = 0;
        FirstMisuse.clear();
        StragglerGated = false;
        PauseWanted.store(false);
        ExpectedThreads = CreationsThisHold = GatedThisHold = ArrivedThisHold = 0;
    }
    Misuses.store(0);
    CurrentIrql = 0;
    CurrentPriority = DefaultPriority;
    HeldUs.store(0);
    Created.store(0);
    EventWaits.store(0);
    RequestersRaised.store(0);
}

uint64_t HostVirtualTimeUs()
{
    return EmuNowUs();
}

uint64_t HostHeldTimeUs()
{
    uint64_t held = HeldUs.load();
    if (!IsHoldingThread && CurrentIrql >= DispatchLevel)
        held += EmuNowUs() - RaisedAtUs;
    return held;
}

uint32_t HostDelayCount()
{
    std::lock_guard<std::mutex> lock(KernelMutex);
    return DelayTotal;
}

int HostDelayAt(uint32_t index, HostDelay* delay)
{
    std::lock_guard<std::mutex> lock(KernelMutex);
    if (index >= DelayLog.size())
        return 0;
    *delay = DelayLog[index];
    return 1;
}

void HostClearDelayLog()
{
    std::lock_guard<std::mutex> lock(KernelMutex);
    DelayLog.clear();
    DelayTotal = 0;
}

uint32_t HostHoldingThreadsCreated()
{
    return Created.load();
}

uint32_t HostHoldingThreadsRunning()
{
    return Running.load();
}

uint32_t HostHoldingThreadsSpinning()
{
    return Spinning.load();
}

int HostWaitForHoldingThreads(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(KernelMutex);
    return KernelChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return Running.load() == 0; });
}

uint8_t HostCurrentIrql()
{
    return CurrentIrql;
}

int32_t HostCurrentPriority()
{
    return CurrentPriority;
}

uint32_t HostEventWaits()
{
    return EventWaits.load();
}

uint32_t HostRequestLockWaiters()
{
    return RequestLockWaiters.load();
}

void HostPauseWindowAccesses(int pause)
{
    std::lock_guard<std::mutex> lock(KernelMutex);
    PauseWanted.store(pause != 0);
    KernelChanged.notify_all();
}

uint32_t HostPausedAccesses()
{
    std::lock_guard<std::mutex> lock(KernelMutex);
    return PausedAccesses;
}

void HostWaitWhilePaused()
{
    if (!PauseWanted.load())
        return;
    std::unique_lock<std::mutex> lock(KernelMutex);
    ++PausedAccesses;
    KernelChanged.notify_all();
    KernelChanged.wait(lock, [] { return !PauseWanted.load(); });
    --PausedAccesses;
}

// ---- Platform operations

int PlatformQueryProcessors(uint8_t* numberOfProcessors, uint32_t* activeProcessorsMask)
{
    if (EmuHasFault(EmuFaultCpuQuery))
        return 0;
    uint32_t processors = EmuProcessorCount();
    uint32_t mask = EmuProcessorMask();
    *numberOfProcessors = static_cast<uint8_t>(processors);
    *activeProcessorsMask = mask;
    std::lock_guard<std::mutex> lock(KernelMutex);
    if (Running.load() == 0)
        JoinThreadsLocked();
    if (RequestersRaised.load() != 0)
        HostReportMisuse("a hold begins while another request holds the processors");
    if (Running.load() != 0)
        HostReportMisuse("a hold begins while a thread of an earlier hold still runs");
    uint32_t held = HeldProcessorCount(processors, mask);
    ExpectedThreads = held > 0 ? held - 1 : 0;
    CreationsThisHold = GatedThisHold = ArrivedThisHold = 0;
    ++HoldNumber;
    GateOpen = true;
    KernelChanged.notify_all();
    return 1;
}

int PlatformCreateSystemThread(PlatformThreadStart start, void* context)
{
    std::lock_guard<std::mutex> lock(KernelMutex);
    if (StragglerGated) {
        // A straggler of an earlier hold gets a processor now.
        StragglerGated = false;
        GateOpen = true;
        KernelChanged.notify_all();
    }
    ++CreationsThisHold;
    bool last = CreationsThisHold >= ExpectedThreads;
    if (last && EmuHasFault(EmuFaultCpuThread))
        return 0;
    bool gated = last && (EmuHasFault(EmuFaultCpuTimeout) || EmuHasFault(EmuFaultCpuStraggler));
    if (gated) {
        GateOpen = false;
        ++GatedThisHold;
    }
    Created.fetch_add(1);
    Running.fetch_add(1);
    Threads.emplace_back(RunHoldingThread, start, context, gated, HoldNumber);
    return 1;
}

void PlatformTerminateSystemThread()
{
    if (!IsHoldingThread)
        HostReportMisuse("PlatformTerminateSystemThread outside a system thread");
}

int32_t PlatformSetCurrentThreadPriority(int32_t priority)
{
    int32_t old = CurrentPriority;
    CurrentPriority = priority;
    return old;
}

void PlatformInitializeEvent(PlatformEvent* event)
{
    HostEvent* host = new (event->Opaque) HostEvent;
    host->Signalled.store(0);
}

void PlatformSetEvent(PlatformEvent* event)
{
    HostEvent* host = reinterpret_cast<HostEvent*>(event->Opaque);
    std::lock_guard<std::mutex> lock(KernelMutex);
    host->Signalled.store(1);
    KernelChanged.notify_all();
}

int PlatformWaitForEvent(PlatformEvent* event, int64_t relativeTimeout100ns)
{
    HostEvent* host = reinterpret_cast<HostEvent*>(event->Opaque);
    EventWaits.fetch_add(1);
    if (relativeTimeout100ns >= 0) {
        HostReportMisuse("event wait without a relative time-out");
        return host->Signalled.load() != 0;
    }
    std::unique_lock<std::mutex> lock(KernelMutex);
    // The event can only be set by a holding thread on its arrival: once every
    // thread that can arrive has done so, the outcome is known, and a time-out
    // costs virtual time only.
    KernelChanged.wait_for(lock, ArrivalPatience, [host] {
        return host->Signalled.load() != 0 || ArrivedThisHold >= CreationsThisHold - GatedThisHold;
    });
    if (host->Signalled.load() != 0)
        return 1;
    EmuAdvanceUs(static_cast<uint64_t>((-relativeTimeout100ns + 9) / 10));
    if (EmuHasFault(EmuFaultCpuStraggler)) {
        StragglerGated = true;
    } else {
        GateOpen = true;  // the late thread gets its processor now
        KernelChanged.notify_all();
    }
    return 0;
}

int PlatformWaitForSystemThreads(int64_t relativeTimeout100ns)
{
    if (relativeTimeout100ns >= 0) {
        HostReportMisuse("thread wait without a relative time-out");
        return Running.load() == 0;
    }
    std::unique_lock<std::mutex> lock(KernelMutex);
    // While the caller waits, a thread that never had a processor gets one.
    StragglerGated = false;
    GateOpen = true;
    KernelChanged.notify_all();
    if (KernelChanged.wait_for(lock, ArrivalPatience, [] { return Running.load() == 0; })) {
        JoinThreadsLocked();
        return 1;
    }
    EmuAdvanceUs(static_cast<uint64_t>((-relativeTimeout100ns + 9) / 10));
    return 0;
}

void PlatformInitializeRequestLock(PlatformEvent* lock)
{
    std::lock_guard<std::mutex> guard(KernelMutex);
    new (lock->Opaque) HostRequestLock {1};
}

void PlatformAcquireRequestLock(PlatformEvent* lock)
{
    if (CurrentIrql != 0)
        HostReportMisuse("request lock taken above PASSIVE_LEVEL");
    HostRequestLock* host = reinterpret_cast<HostRequestLock*>(lock->Opaque);
    std::unique_lock<std::mutex> guard(KernelMutex);
    RequestLockWaiters.fetch_add(1);
    KernelChanged.wait(guard, [host] { return host->Free != 0; });
    RequestLockWaiters.fetch_sub(1);
    host->Free = 0;
}

void PlatformReleaseRequestLock(PlatformEvent* lock)
{
    HostRequestLock* host = reinterpret_cast<HostRequestLock*>(lock->Opaque);
    std::lock_guard<std::mutex> guard(KernelMutex);
    host->Free = 1;
    KernelChanged.notify_all();
}

void PlatformInitializeSpinLock(PlatformSpinLock* lock)
{
    HostSpinLock* host = new (lock->Opaque) HostSpinLock;
    host->Taken.clear();
}

void PlatformAcquireSpinLockAtDpcLevel(PlatformSpinLock* lock)
{
    if (CurrentIrql < DispatchLevel)
        HostReportMisuse("spin lock taken below DISPATCH_LEVEL");
    HostSpinLock* host = reinterpret_cast<HostSpinLock*>(lock->Opaque);
    while (host->Taken.test_and_set(std::memory_order_acquire))
        std::this_thread::yield();
}

void PlatformReleaseSpinLockFromDpcLevel(PlatformSpinLock* lock)
{
    HostSpinLock* host = reinterpret_cast<HostSpinLock*>(lock->Opaque);
    host->Taken.clear(std::memory_order_release);
    if (IsHoldingThread) {
        std::lock_guard<std::mutex> guard(KernelMutex);
        if (ThreadHold == HoldNumber)
            ++ArrivedThisHold;
        else
            HostReportMisuse("a holding thread of an earlier hold arrived in a later one");
        KernelChanged.notify_all();
    }
}

uint8_t PlatformRaiseIrql(uint8_t newIrql)
{
    uint8_t old = CurrentIrql;
    if (newIrql < old)
        HostReportMisuse("IRQL raised to a lower level");
    CurrentIrql = newIrql;
    if (old < DispatchLevel && newIrql >= DispatchLevel) {
        if (IsHoldingThread) {
            Spinning.fetch_add(1);
        } else {
            RaisedAtUs = EmuNowUs();
            if (RequestersRaised.fetch_add(1) != 0)
                HostReportMisuse("two requests hold the processors at once");
        }
    }
    return old;
}

void PlatformLowerIrql(uint8_t irql)
{
    uint8_t old = CurrentIrql;
    if (irql > old)
        HostReportMisuse("IRQL lowered to a higher level");
    CurrentIrql = irql;
    if (old >= DispatchLevel && irql < DispatchLevel) {
        if (IsHoldingThread) {
            Spinning.fetch_sub(1);
            if (EmuHasFault(EmuFaultCpuLinger))
                std::this_thread::sleep_for(LingerTime);
        } else {
            HeldUs.fetch_add(EmuNowUs() - RaisedAtUs);
            RequestersRaised.fetch_sub(1);
        }
    }
}

void HostEndStallRun()
{
    StallRunOpen.store(false);
}

uint8_t PlatformGetCurrentIrql()
{
    HostEndStallRun();
    return CurrentIrql;
}

void PlatformStallMicroseconds(uint32_t microseconds)
{
    RecordDelay(HostDelayStall, microseconds);
    EmuAdvanceUs(microseconds);
}

void PlatformDelayExecution(int64_t relativeInterval100ns)
{
    if (CurrentIrql > 0)
        HostReportMisuse("sleep above PASSIVE_LEVEL");
    if (relativeInterval100ns > 0) {
        HostReportMisuse("sleep with an absolute time");
        return;
    }
    RecordDelay(HostDelaySleep, relativeInterval100ns);
    uint64_t microseconds = static_cast<uint64_t>((-relativeInterval100ns + 9) / 10);
    EmuAdvanceUs(microseconds);
    // The sleep costs no wall time, but holding threads of an earlier hold
    // still on their way out get up to its length in real time to leave, as
    // they would on a machine whose sleep really lasts.
    std::unique_lock<std::mutex> lock(KernelMutex);
    KernelChanged.wait_for(lock, std::chrono::microseconds(microseconds), [] { return Running.load() == 0; });
}
