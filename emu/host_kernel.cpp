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
// Each thread has a place among the machine's processors: it starts on the
// first one, free to run on all, and moves only when its affinity leaves its
// processor out (at DISPATCH_LEVEL once the IRQL drops). Two threads at
// DISPATCH_LEVEL on one processor are a misuse: on a real machine one of
// them would never run.
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
#include "processor_set.h"

namespace {

const uint8_t DispatchLevel = PlatformDispatchLevel;
const int32_t DefaultPriority = 8;
const size_t DelayLogCapacity = 1000000;
// Real-time safety nets: a correct driver never comes near them.
const auto ArrivalPatience = std::chrono::seconds(10);
const auto LingerTime = std::chrono::milliseconds(300);

struct HostEvent {
    std::atomic<uint32_t> Signalled;
    // HostEventLive from initialisation on; a driver state reset (a new
    // lifetime) zeroes it under a thread of the last one still waiting.
    std::atomic<uint32_t> Live;
};
const uint32_t HostEventLive = 0x4C495645;
// How often a system thread's wait looks whether its event is still there.
const auto EventLookInterval = std::chrono::milliseconds(10);
struct HostSpinLock {
    std::atomic_flag Taken;
};
struct HostRequestLock {
    uint32_t Free;  // under Kernel.Mutex
};
static_assert(sizeof(HostRequestLock) <= sizeof(PlatformEvent), "request lock storage");
static_assert(sizeof(HostEvent) <= sizeof(PlatformEvent), "event storage");
static_assert(sizeof(HostSpinLock) <= sizeof(PlatformSpinLock), "spin lock storage");

// The host kernel's state, one record as the driver's is. HostResetKernel
// puts back what a new driver lifetime must not inherit; the hold number,
// the threads still running or spinning and the waiters live on, since a
// thread of an earlier lifetime may still be on its way out.
struct HostKernel {
    std::mutex Mutex;
    std::condition_variable Changed;

    std::atomic<uint64_t> HeldUs {0};
    std::atomic<uint32_t> Created {0};
    std::atomic<uint32_t> Running {0};
    std::atomic<uint32_t> Spinning {0};
    std::atomic<uint32_t> EventWaits {0};
    std::atomic<uint32_t> RequestersRaised {0};  // requesting threads at DISPATCH_LEVEL
    std::atomic<uint32_t> RequestLockWaiters {0};
    std::atomic<uint32_t> ProcessorsAtDispatch {0};  // a bit for each processor a thread holds at DISPATCH_LEVEL

    // The hold in progress, counted from its processor query.
    uint32_t HoldNumber = 0;
    uint32_t ExpectedThreads = 0;  // the processor count the driver will compute, less one
    uint32_t CreationsThisHold = 0;
    uint32_t SystemThreadsWaiting = 0;  // system threads in an event wait (the hold's watch)
    uint32_t GatedThisHold = 0;
    uint32_t ArrivedThisHold = 0;  // holding threads past their arrival (lock released)
    bool GateOpen = true;
    bool StragglerGated = false;            // the gate waits for the driver's next wait or hold
    std::atomic<bool> PauseWanted {false};  // window accesses wait while set
    uint32_t PausedAccesses = 0;            // under Mutex

    // Under Mutex. Never destroyed: a holding thread a faulty driver left
    // spinning must not end the process at exit.
    std::vector<std::thread>& Threads = *new std::vector<std::thread>;

    std::vector<HostDelay> DelayLog;  // under Mutex
    uint32_t DelayTotal = 0;
    // Stalls with no other platform call between them are one busy wait.
    std::atomic<bool> StallRunOpen {false};

    std::atomic<uint32_t> Misuses {0};
    std::string FirstMisuse;  // under Mutex
};

HostKernel Kernel;

// Each thread's own: its IRQL and priority, and for a holding thread the
// hold it was created for.
struct HostThread {
    uint8_t Irql = 0;
    int32_t Priority = DefaultPriority;
    bool Holding = false;
    uint64_t RaisedAtUs = 0;
    uint32_t Hold = 0;
    bool Placed = false;  // Processor and Affinity are set (on first use: the machine is loaded by then)
    uint32_t Processor = 0;
    uint32_t Affinity = 0;
};

thread_local HostThread ThisThread;

uint32_t LowestProcessor(uint32_t processors)
{
    uint32_t processor = 0;
    while (processor < 31 && !(processors & (1u << processor)))
        ++processor;
    return processor;
}

HostThread& Placed()
{
    if (!ThisThread.Placed) {
        ThisThread.Placed = true;
        ThisThread.Affinity = ReportedProcessors(EmuProcessorCount(), EmuProcessorMask());
        ThisThread.Processor = LowestProcessor(ThisThread.Affinity);
    }
    return ThisThread;
}

// The calling thread reaches DISPATCH_LEVEL on its processor, or leaves it.
void TakeProcessor()
{
    uint32_t bit = 1u << Placed().Processor;
    if (Kernel.ProcessorsAtDispatch.fetch_or(bit) & bit)
        HostReportMisuse("two threads at DISPATCH_LEVEL on one processor");
}

void LeaveProcessor()
{
    HostThread& thread = Placed();
    Kernel.ProcessorsAtDispatch.fetch_and(~(1u << thread.Processor));
    if (!(thread.Affinity & (1u << thread.Processor)))
        thread.Processor = LowestProcessor(thread.Affinity);
}

void RecordDelay(uint32_t kind, int64_t amount)
{
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    bool continues = kind == HostDelayStall && Kernel.StallRunOpen.exchange(true) && Kernel.DelayTotal > 0 &&
        Kernel.DelayTotal <= DelayLogCapacity && Kernel.DelayLog.back().Kind == HostDelayStall;
    if (kind != HostDelayStall)
        Kernel.StallRunOpen.store(false);
    if (continues) {
        HostDelay& run = Kernel.DelayLog.back();
        run.Amount += amount;
        run.Calls += 1;
        run.Longest = amount > run.Longest ? amount : run.Longest;
        return;
    }
    ++Kernel.DelayTotal;
    if (Kernel.DelayLog.size() < DelayLogCapacity)
        Kernel.DelayLog.push_back(HostDelay {kind, amount, EmuNowUs(), ThisThread.Irql, 1, amount});
}

void RunHoldingThread(PlatformThreadStart start, void* context, bool gated, uint32_t hold)
{
    ThisThread.Holding = true;
    ThisThread.Hold = hold;
    ThisThread.Irql = 0;
    if (gated) {
        std::unique_lock<std::mutex> lock(Kernel.Mutex);
        Kernel.Changed.wait(lock, [] { return Kernel.GateOpen; });
    }
    start(context);
    if (ThisThread.Irql != 0)
        HostReportMisuse("holding thread ended above PASSIVE_LEVEL");
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    Kernel.Running.fetch_sub(1);
    Kernel.Changed.notify_all();
}

// Joins finished threads; called when none is running.
void JoinThreadsLocked()
{
    for (std::thread& thread : Kernel.Threads) {
        if (thread.joinable())
            thread.join();
    }
    Kernel.Threads.clear();
}

}  // namespace

void HostReportMisuse(const char* what)
{
    if (Kernel.Misuses.fetch_add(1) == 0) {
        std::lock_guard<std::mutex> lock(Kernel.Mutex);
        Kernel.FirstMisuse = what;
    }
}

uint32_t HostMisuseCount()
{
    return Kernel.Misuses.load();
}

const char* HostFirstMisuse()
{
    return Kernel.FirstMisuse.c_str();
}

void HostResetKernel()
{
    {
        std::lock_guard<std::mutex> lock(Kernel.Mutex);
        Kernel.GateOpen = true;
        Kernel.Changed.notify_all();
    }
    bool finished = HostWaitForHoldingThreads(5000);
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    if (finished) {
        JoinThreadsLocked();
    } else {
        // A thread that never leaves its spin: abandon it rather than hang.
        for (std::thread& thread : Kernel.Threads) {
            if (thread.joinable())
                thread.detach();
        }
        Kernel.Threads.clear();
    }
    Kernel.DelayLog.clear();
    Kernel.DelayTotal = 0;
    Kernel.FirstMisuse.clear();
    Kernel.Misuses.store(0);
    Kernel.StragglerGated = false;
    Kernel.PauseWanted.store(false);
    Kernel.ExpectedThreads = Kernel.CreationsThisHold = Kernel.GatedThisHold = Kernel.ArrivedThisHold = 0;
    Kernel.HeldUs.store(0);
    Kernel.Created.store(0);
    Kernel.EventWaits.store(0);
    Kernel.RequestersRaised.store(0);
    Kernel.ProcessorsAtDispatch.store(0);
    ThisThread.Irql = 0;
    ThisThread.Priority = DefaultPriority;
    ThisThread.Placed = false;
}

uint64_t HostVirtualTimeUs()
{
    return EmuNowUs();
}

uint64_t HostHeldTimeUs()
{
    uint64_t held = Kernel.HeldUs.load();
    if (!ThisThread.Holding && ThisThread.Irql >= DispatchLevel)
        held += EmuNowUs() - ThisThread.RaisedAtUs;
    return held;
}

uint32_t HostDelayCount()
{
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    return Kernel.DelayTotal;
}

int HostDelayAt(uint32_t index, HostDelay* delay)
{
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    if (index >= Kernel.DelayLog.size())
        return 0;
    *delay = Kernel.DelayLog[index];
    return 1;
}

void HostClearDelayLog()
{
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    Kernel.DelayLog.clear();
    Kernel.DelayTotal = 0;
}

uint32_t HostHoldingThreadsCreated()
{
    return Kernel.Created.load();
}

uint32_t HostHoldingThreadsRunning()
{
    return Kernel.Running.load();
}

uint32_t HostHoldingThreadsSpinning()
{
    return Kernel.Spinning.load();
}

int HostWaitForHoldingThreads(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(Kernel.Mutex);
    return Kernel.Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [] { return Kernel.Running.load() == 0; });
}

uint8_t HostCurrentIrql()
{
    return ThisThread.Irql;
}

int32_t HostCurrentPriority()
{
    return ThisThread.Priority;
}

HostPlacement HostCurrentPlacement()
{
    return HostPlacement {Placed().Processor, Placed().Affinity, Kernel.ProcessorsAtDispatch.load()};
}

void HostPlaceCurrentThread(uint32_t processor, uint32_t affinity)
{
    Placed();
    ThisThread.Processor = processor;
    ThisThread.Affinity = affinity;
}

uint32_t HostEventWaits()
{
    return Kernel.EventWaits.load();
}

uint32_t HostRequestLockWaiters()
{
    return Kernel.RequestLockWaiters.load();
}

void HostPauseWindowAccesses(int pause)
{
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    Kernel.PauseWanted.store(pause != 0);
    Kernel.Changed.notify_all();
}

uint32_t HostPausedAccesses()
{
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    return Kernel.PausedAccesses;
}

void HostWaitWhilePaused()
{
    if (!Kernel.PauseWanted.load())
        return;
    std::unique_lock<std::mutex> lock(Kernel.Mutex);
    ++Kernel.PausedAccesses;
    Kernel.Changed.notify_all();
    Kernel.Changed.wait(lock, [] { return !Kernel.PauseWanted.load(); });
    --Kernel.PausedAccesses;
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
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    if (Kernel.Running.load() == 0)
        JoinThreadsLocked();
    if (Kernel.RequestersRaised.load() != 0)
        HostReportMisuse("a hold begins while another request holds the processors");
    if (Kernel.Running.load() != 0)
        HostReportMisuse("a hold begins while a thread of an earlier hold still runs");
    uint32_t held = ProcessorsIn(ReportedProcessors(processors, mask));
    Kernel.ExpectedThreads = held > 0 ? held - 1 : 0;
    Kernel.CreationsThisHold = Kernel.GatedThisHold = Kernel.ArrivedThisHold = 0;
    ++Kernel.HoldNumber;
    Kernel.GateOpen = true;
    Kernel.Changed.notify_all();
    return 1;
}

int PlatformCreateSystemThread(PlatformThreadStart start, void* context)
{
    HostCheckInterruptsEnabled("a thread started with interrupts masked");
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    if (Kernel.StragglerGated) {
        // A straggler of an earlier hold gets a processor now.
        Kernel.StragglerGated = false;
        Kernel.GateOpen = true;
        Kernel.Changed.notify_all();
    }
    ++Kernel.CreationsThisHold;
    // The last holding thread; the hold's watch comes after it.
    bool last = Kernel.CreationsThisHold == Kernel.ExpectedThreads;
    if (last && EmuHasFault(EmuFaultCpuThread))
        return 0;
    bool gated = last && (EmuHasFault(EmuFaultCpuTimeout) || EmuHasFault(EmuFaultCpuStraggler));
    if (gated) {
        Kernel.GateOpen = false;
        ++Kernel.GatedThisHold;
    }
    Kernel.Created.fetch_add(1);
    Kernel.Running.fetch_add(1);
    Kernel.Threads.emplace_back(RunHoldingThread, start, context, gated, Kernel.HoldNumber);
    return 1;
}

void PlatformTerminateSystemThread()
{
    if (!ThisThread.Holding)
        HostReportMisuse("PlatformTerminateSystemThread outside a system thread");
}

int32_t PlatformSetCurrentThreadPriority(int32_t priority)
{
    int32_t old = ThisThread.Priority;
    ThisThread.Priority = priority;
    return old;
}

uint32_t PlatformCurrentProcessor()
{
    return Placed().Processor;
}

uint32_t PlatformSetCurrentThreadAffinity(uint32_t mask)
{
    HostThread& thread = Placed();
    uint32_t machine = ReportedProcessors(EmuProcessorCount(), EmuProcessorMask());
    if (thread.Irql > DispatchLevel)
        HostReportMisuse("affinity set above DISPATCH_LEVEL");
    if (mask == 0 || (mask & ~machine) != 0) {
        HostReportMisuse("affinity not a non-empty set of the machine's processors");
        return thread.Affinity;
    }
    uint32_t old = thread.Affinity;
    thread.Affinity = mask;
    if (thread.Irql < DispatchLevel && !(mask & (1u << thread.Processor)))
        thread.Processor = LowestProcessor(mask);
    return old;
}

// The host has no process affinity that could change under a hold.
int PlatformRestoreCurrentThreadAffinity(uint32_t mask)
{
    PlatformSetCurrentThreadAffinity(mask);
    return 1;
}

void PlatformInitializeEvent(PlatformEvent* event)
{
    HostEvent* host = new (event->Opaque) HostEvent;
    host->Signalled.store(0);
    host->Live.store(HostEventLive);
}

void PlatformSetEvent(PlatformEvent* event)
{
    HostEvent* host = reinterpret_cast<HostEvent*>(event->Opaque);
    std::lock_guard<std::mutex> lock(Kernel.Mutex);
    host->Signalled.store(1);
    Kernel.Changed.notify_all();
}

int PlatformWaitForEvent(PlatformEvent* event, int64_t relativeTimeout100ns)
{
    HostEvent* host = reinterpret_cast<HostEvent*>(event->Opaque);
    Kernel.EventWaits.fetch_add(1);
    HostCheckInterruptsEnabled("a wait with interrupts masked");
    if (relativeTimeout100ns >= 0) {
        HostReportMisuse("event wait without a relative time-out");
        return host->Signalled.load() != 0;
    }
    std::unique_lock<std::mutex> lock(Kernel.Mutex);
    if (ThisThread.Holding) {
        // The hold's watch: the requester here always has a processor, so
        // its event comes; one whose event a driver state reset took away
        // ends as if it were set.
        ++Kernel.SystemThreadsWaiting;
        Kernel.Changed.notify_all();
        auto ends = [host] { return host->Signalled.load() != 0 || host->Live.load() != HostEventLive; };
        auto giveUp = std::chrono::steady_clock::now() + ArrivalPatience;
        bool set = ends();
        while (!set && std::chrono::steady_clock::now() < giveUp)
            set = Kernel.Changed.wait_for(lock, EventLookInterval, ends);
        --Kernel.SystemThreadsWaiting;
        if (!set)
            EmuAdvanceUs(static_cast<uint64_t>((-relativeTimeout100ns + 9) / 10));
        return set ? 1 : 0;
    }
    // The event can only be set by a holding thread on its arrival: once every
    // thread that can arrive has done so (the watch waits), the outcome is
    // known, and a time-out costs virtual time only.
    Kernel.Changed.wait_for(lock, ArrivalPatience, [host] {
        return host->Signalled.load() != 0 ||
            Kernel.ArrivedThisHold + Kernel.SystemThreadsWaiting >= Kernel.CreationsThisHold - Kernel.GatedThisHold;
    });
    if (host->Signalled.load() != 0)
        return 1;
    EmuAdvanceUs(static_cast<uint64_t>((-relativeTimeout100ns + 9) / 10));
    if (EmuHasFault(EmuFaultCpuStraggler)) {
        Kernel.StragglerGated = true;
    } else {
        Kernel.GateOpen = true;  // the late thread gets its processor now
        Kernel.Changed.notify_all();
    }
    return 0;
}

int PlatformWaitForSystemThreads(int64_t relativeTimeout100ns)
{
    HostCheckInterruptsEnabled("a wait with interrupts masked");
    if (relativeTimeout100ns >= 0) {
        HostReportMisuse("thread wait without a relative time-out");
        return Kernel.Running.load() == 0;
    }
    std::unique_lock<std::mutex> lock(Kernel.Mutex);
    // While the caller waits, a thread that never had a processor gets one.
    Kernel.StragglerGated = false;
    Kernel.GateOpen = true;
    Kernel.Changed.notify_all();
    if (Kernel.Changed.wait_for(lock, ArrivalPatience, [] { return Kernel.Running.load() == 0; })) {
        JoinThreadsLocked();
        return 1;
    }
    EmuAdvanceUs(static_cast<uint64_t>((-relativeTimeout100ns + 9) / 10));
    return 0;
}

void PlatformInitializeRequestLock(PlatformEvent* lock)
{
    std::lock_guard<std::mutex> guard(Kernel.Mutex);
    new (lock->Opaque) HostRequestLock {1};
}

void PlatformAcquireRequestLock(PlatformEvent* lock)
{
    if (ThisThread.Irql != 0)
        HostReportMisuse("request lock taken above PASSIVE_LEVEL");
    HostCheckInterruptsEnabled("request lock taken with interrupts masked");
    HostRequestLock* host = reinterpret_cast<HostRequestLock*>(lock->Opaque);
    std::unique_lock<std::mutex> guard(Kernel.Mutex);
    Kernel.RequestLockWaiters.fetch_add(1);
    Kernel.Changed.wait(guard, [host] { return host->Free != 0; });
    Kernel.RequestLockWaiters.fetch_sub(1);
    host->Free = 0;
}

void PlatformReleaseRequestLock(PlatformEvent* lock)
{
    HostRequestLock* host = reinterpret_cast<HostRequestLock*>(lock->Opaque);
    std::lock_guard<std::mutex> guard(Kernel.Mutex);
    host->Free = 1;
    Kernel.Changed.notify_all();
}

void PlatformInitializeSpinLock(PlatformSpinLock* lock)
{
    HostSpinLock* host = new (lock->Opaque) HostSpinLock;
    host->Taken.clear();
}

void PlatformAcquireSpinLockAtDpcLevel(PlatformSpinLock* lock)
{
    if (ThisThread.Irql < DispatchLevel)
        HostReportMisuse("spin lock taken below DISPATCH_LEVEL");
    HostSpinLock* host = reinterpret_cast<HostSpinLock*>(lock->Opaque);
    while (host->Taken.test_and_set(std::memory_order_acquire))
        std::this_thread::yield();
}

void PlatformReleaseSpinLockFromDpcLevel(PlatformSpinLock* lock)
{
    HostSpinLock* host = reinterpret_cast<HostSpinLock*>(lock->Opaque);
    host->Taken.clear(std::memory_order_release);
    if (ThisThread.Holding) {
        std::lock_guard<std::mutex> guard(Kernel.Mutex);
        if (ThisThread.Hold == Kernel.HoldNumber)
            ++Kernel.ArrivedThisHold;
        else
            HostReportMisuse("a holding thread of an earlier hold arrived in a later one");
        Kernel.Changed.notify_all();
    }
}

uint8_t PlatformRaiseIrql(uint8_t newIrql)
{
    uint8_t old = ThisThread.Irql;
    if (newIrql < old)
        HostReportMisuse("IRQL raised to a lower level");
    ThisThread.Irql = newIrql;
    if (old < DispatchLevel && newIrql >= DispatchLevel) {
        TakeProcessor();
        if (ThisThread.Holding) {
            Kernel.Spinning.fetch_add(1);
        } else {
            ThisThread.RaisedAtUs = EmuNowUs();
            if (Kernel.RequestersRaised.fetch_add(1) != 0)
                HostReportMisuse("two requests hold the processors at once");
        }
    }
    return old;
}

void PlatformLowerIrql(uint8_t irql)
{
    uint8_t old = ThisThread.Irql;
    if (irql > old)
        HostReportMisuse("IRQL lowered to a higher level");
    ThisThread.Irql = irql;
    if (old >= DispatchLevel && irql < DispatchLevel) {
        LeaveProcessor();
        if (ThisThread.Holding) {
            Kernel.Spinning.fetch_sub(1);
            if (EmuHasFault(EmuFaultCpuLinger))
                std::this_thread::sleep_for(LingerTime);
        } else {
            Kernel.HeldUs.fetch_add(EmuNowUs() - ThisThread.RaisedAtUs);
            Kernel.RequestersRaised.fetch_sub(1);
        }
    }
}

void HostEndStallRun()
{
    Kernel.StallRunOpen.store(false);
}

uint8_t PlatformGetCurrentIrql()
{
    HostEndStallRun();
    return ThisThread.Irql;
}

void PlatformStallMicroseconds(uint32_t microseconds)
{
    HostCheckMaskedStall(microseconds);
    RecordDelay(HostDelayStall, microseconds);
    EmuAdvanceUs(microseconds);
}

void PlatformDelayExecution(int64_t relativeInterval100ns)
{
    if (ThisThread.Irql > 0)
        HostReportMisuse("sleep above PASSIVE_LEVEL");
    HostCheckInterruptsEnabled("sleep with interrupts masked");
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
    std::unique_lock<std::mutex> lock(Kernel.Mutex);
    Kernel.Changed.wait_for(lock, std::chrono::microseconds(microseconds), [] { return Kernel.Running.load() == 0; });
}
