// Model processors, threads, waits and the virtual clock (see model_kernel.h).
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "entry_calls.h"
#include "model_kernel.h"
#include "pci_machine.h"
#include "thread_segment.h"

static bool Preempt(bool anyProcessor);

std::mutex KernelLock;
ModelThread Threads[MaxThreads];
uint64_t KernelCallCount;

namespace {

std::condition_variable WakeVariables[MaxThreads];
thread_local ModelThread* Current;

struct Processor {
    int Index;  // the bit of the affinity mask
    ModelThread* Owner;
};
Processor Processors[MaxProcessors];
int Count;
uint32_t Mask;
uint64_t Sequence;
uint64_t Order;  // SchedulerOrder
int IdealSeed;   // the ideal processor of the next thread created, in turn

// A thread running driver code that has used this much of its own processor
// time since its last kernel call is taken to spin: no work the driver does
// between two kernel calls comes near it, and a thread the host does not run
// uses none.
const uint64_t QuietCpuNs = 100 * 1000 * 1000;
// A processor held at DISPATCH_LEVEL this long (virtual time) never comes back.
const uint64_t HoldDeadlineUs = 60ull * 1000 * 1000;
// A thread ready this long with no processor gets none: the time-outs the
// clock jumps to are then all the machine has left, and a wait for that
// thread never ends.
const uint64_t StarvedDeadlineUs = 60ull * 1000 * 1000;
const uint32_t DefaultPriority = 8;
const size_t ThreadStackSize = 1024 * 1024;

uint64_t CpuNsOf(const ModelThread* thread)
{
    clockid_t clock;
    if (pthread_getcpuclockid(thread->Host, &clock) != 0)
        return 0;
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + now.tv_nsec;
}

bool Quiet(ModelThread* thread)
{
    if (thread->Busy)
        return true;
    if (thread->State != ThreadRunning || thread->InKernel)
        return false;
    uint64_t cpu = CpuNsOf(thread);
    if (thread->CallsSeen != KernelCallCount) {
        thread->CallsSeen = KernelCallCount;
        thread->CpuAtSeenNs = cpu;
        return false;
    }
    return cpu - thread->CpuAtSeenNs > QuietCpuNs;
}

void MakeReady(ModelThread* thread)
{
    thread->State = ThreadReady;
    thread->ReadySequence = ++Sequence;
    thread->ReadyAtUs = EmuNowUs();
}

void ReleaseProcessor(ModelThread* thread)
{
    if (thread->Processor >= 0)
        Processors[thread->Processor].Owner = nullptr;
    thread->Processor = -1;
}

bool Signalled(void* object)
{
    return static_cast<NtDispatcherHeader*>(object)->SignalState > 0;
}

void Consume(void* object)
{
    NtDispatcherHeader* header = static_cast<NtDispatcherHeader*>(object);
    if (header->Type == NtSynchronizationEventObject)
        header->SignalState = 0;
}

// Satisfies the wait if it can; the NT wait status in *status.
bool TrySatisfy(void* const* objects, uint32_t count, int waitAll, uint32_t* status)
{
    if (waitAll) {
        for (uint32_t i = 0; i < count; ++i) {
            if (!Signalled(objects[i]))
                return false;
        }
        for (uint32_t i = 0; i < count; ++i)
            Consume(objects[i]);
        *status = NtStatusSuccess;
        return true;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (Signalled(objects[i])) {
            Consume(objects[i]);
            *status = i;
            return true;
        }
    }
    return false;
}

void CompleteWait(ModelThread* thread, uint32_t status)
{
    thread->WaitDone = 1;
    thread->WaitStatus = status;
    thread->WokenAt = ++Order;
    MakeReady(thread);
}

// The program counter of another thread, read by a signal it handles.
std::atomic<uintptr_t> SampledPc {0};
std::atomic<int> SampleTaken {0};

void SamplePc(int, siginfo_t*, void* context)
{
    ucontext_t* user = static_cast<ucontext_t*>(context);
    SampledPc.store(static_cast<uintptr_t>(user->uc_mcontext.gregs[REG_EIP]));
    SampleTaken.store(1);
}

uintptr_t ProgramCounterOf(ModelThread* thread)
{
    struct sigaction action = {};
    action.sa_sigaction = SamplePc;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigaction(SIGUSR2, &action, nullptr);
    SampleTaken.store(0);
    pthread_kill(thread->Host, SIGUSR2);
    for (int i = 0; i < 1000 && !SampleTaken.load(); ++i)
        usleep(1000);
    return SampledPc.load();
}

[[noreturn]] void Hang()
{
    for (ModelThread& thread : Threads) {
        if (thread.State == ThreadRunning && thread.Irql >= DispatchLevel && !thread.Busy) {
            uintptr_t pc = ProgramCounterOf(&thread);
            Bugcheck("HANG", EntryNameOf(&thread), reinterpret_cast<void*>(pc),
                     "processor %d spins at IRQL %u and nothing left can release it",
                     Processors[thread.Processor].Index, thread.Irql);
        }
    }
    for (ModelThread& thread : Threads) {
        if (thread.State == ThreadSpinning)
            Bugcheck("HANG", "KefAcquireSpinLockAtDpcLevel", thread.LastCaller,
                     "processor %d spins for a spin lock that nothing left can release",
                     Processors[thread.Processor].Index);
    }
    for (ModelThread& thread : Threads) {
        if (thread.State == ThreadReady && !thread.Busy)
            Bugcheck("HANG", EntryNameOf(&thread), thread.LastCaller,
                     "a thread is ready but every processor it may run on is held");
    }
    for (ModelThread& thread : Threads) {
        if (thread.State == ThreadWaiting)
            Bugcheck("HANG", "wait", thread.LastCaller, "every thread waits and nothing left can wake one");
    }
    Bugcheck("HANG", "scheduler", nullptr, "no thread can run");
}

// A driver thread or the caller, ready and without a processor for longer
// than the deadline by the virtual time at.
const ModelThread* StarvedBy(uint64_t at)
{
    for (const ModelThread& thread : Threads) {
        if (thread.State == ThreadReady && !thread.Busy && at - thread.ReadyAtUs > StarvedDeadlineUs)
            return &thread;
    }
    return nullptr;
}

[[noreturn]] void HangStarved(const ModelThread* waiter, const ModelThread* starved)
{
    const char* holders = "other threads hold";
    for (int i = 0; i < Count; ++i) {
        const ModelThread* owner = Processors[i].Owner;
        if ((starved->Affinity & (1u << i)) && owner && owner->Busy && owner->Priority > starved->Priority)
            holders = "other work of a higher priority holds";
    }
    Bugcheck("HANG", EntryNameOf(waiter), waiter->LastCaller,
             "only time-outs are left: a thread of priority %d has been ready for %llu s of machine time and %s "
             "every processor it may run on",
             static_cast<int>(starved->Priority), static_cast<unsigned long long>(StarvedDeadlineUs / 1000000),
             holders);
}

// Under KernelLock: when no thread can run on, the clock jumps to the next
// time-out; with none, or with a thread left starved of processors, the
// machine hangs.
void CheckIdle()
{
    for (;;) {
        for (ModelThread& thread : Threads) {
            if (thread.State == ThreadRunning && !Quiet(&thread))
                return;
        }
        // The quantum of other work ends: a ready thread of a higher
        // priority takes its processor.
        if (Preempt(true)) {
            SchedulerAssign();
            return;
        }
        ModelThread* next = nullptr;
        for (ModelThread& thread : Threads) {
            if (thread.State == ThreadWaiting && thread.HasDeadline && !thread.WaitDone &&
                (!next || thread.DeadlineUs < next->DeadlineUs))
                next = &thread;
        }
        if (!next)
            Hang();
        if (const ModelThread* starved = StarvedBy(next->DeadlineUs))
            HangStarved(next, starved);
        uint64_t now = EmuNowUs();
        if (next->DeadlineUs > now)
            EmuAdvanceUs(next->DeadlineUs - now);
        SchedulerClockMoved();
    }
}

void CheckHoldDeadline()
{
    uint64_t now = EmuNowUs();
    for (ModelThread& thread : Threads) {
        if ((thread.State == ThreadRunning || thread.State == ThreadSpinning) && thread.Irql >= DispatchLevel &&
            now - thread.RaisedAtUs > HoldDeadlineUs) {
            uintptr_t pc = thread.State == ThreadRunning && !thread.InKernel
                ? ProgramCounterOf(&thread)
                : reinterpret_cast<uintptr_t>(thread.LastCaller);
            Bugcheck("HANG", EntryNameOf(&thread), reinterpret_cast<void*>(pc),
                     "processor %d held at IRQL %u for more than %llu s of machine time",
                     Processors[thread.Processor].Index, thread.Irql,
                     static_cast<unsigned long long>(HoldDeadlineUs / 1000000));
        }
    }
}

void* HostThreadMain(void* argument)
{
    ModelThread* thread = static_cast<ModelThread*>(argument);
    Current = thread;
    EntryStackInstallSignalStack(thread);
    KernelLock.lock();
    while (thread->State != ThreadRunning) {
        std::unique_lock<std::mutex> adopted(KernelLock, std::adopt_lock);
        thread->Wake->wait(adopted);
        adopted.release();
    }
    KernelLock.unlock();
    if (setjmp(thread->Exit) == 0) {
        RunThreadStart(thread);
        KernelLock.lock();
        SchedulerEndThread(thread);
    }
    // PsTerminateSystemThread comes back here with the thread ended and the lock held.
    thread->State = ThreadEnded;
    thread->HostDone = 1;
    KernelLock.unlock();
    return nullptr;
}

}  // namespace

ModelThread* CurrentThread()
{
    return Current;
}

const char* EntryNameOf(const ModelThread* thread)
{
    return thread->EntryName ? thread->EntryName : "model";
}

int ProcessorCount()
{
    return Count;
}

uint32_t ProcessorMask()
{
    return Mask;
}

uint64_t ThreadCpuNs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + now.tv_nsec;
}

uint64_t ModelNowUs()
{
    return EmuNowUs();
}

void ModelAdvanceUs(uint64_t microseconds)
{
    EmuAdvanceUs(microseconds);
    SchedulerClockMoved();
}

void SchedulerStart(int processors, uint32_t mask)
{
    Count = 0;
    for (int bit = 0; bit < 32 && Count < processors && Count < MaxProcessors; ++bit) {
        if (mask & (1u << bit))
            Processors[Count++] = Processor {bit, nullptr};
    }
    Mask = 0;
    for (int i = 0; i < Count; ++i)
        Mask |= 1u << i;
    for (int i = 0; i < MaxThreads; ++i) {
        Threads[i].Index = i;
        Threads[i].State = ThreadFree;
        Threads[i].Wake = &WakeVariables[i];
    }
    // The caller starts on the first processor its process may use.
    int first = 0;
    while (first < Count - 1 && !(ProcessAffinity(CallerProcess) & (1u << first)))
        ++first;
    if (!PcrInstall(Count))
        Bugcheck("FAULT", "model", nullptr, "the host refuses a descriptor for the processors' control regions");
    IdealSeed = 0;
    ModelThread* caller = &Threads[0];
    caller->State = ThreadRunning;
    caller->Header.Type = NtThreadObject;
    caller->Processor = first;
    caller->Ideal = first;
    caller->Priority = DefaultPriority;
    caller->Affinity = ProcessAffinity(CallerProcess);
    caller->Process = CallerProcess;
    caller->PreviousModeUser = 1;
    caller->InKernel = 1;
    caller->Host = pthread_self();
    Processors[first].Owner = caller;
    Current = caller;
    for (int i = 0; i < Count && Settings.BusyPriority > 0 && i < MaxThreads - 1; ++i) {
        if (i == first)
            continue;
        ModelThread* busy = &Threads[MaxThreads - 1 - i];
        busy->State = ThreadRunning;
        busy->Busy = 1;
        busy->Processor = i;
        busy->Priority = Settings.BusyPriority;
        busy->Affinity = 1u << i;
        busy->Ideal = i;
        busy->EntryName = "other work";
        Processors[i].Owner = busy;
    }
}

ModelThread* SchedulerCreateThread(void* startRoutine, void* context, int gated)
{
    ModelThread* thread = nullptr;
    for (int i = 1; i < MaxThreads && !thread; ++i) {
        ModelThread& candidate = Threads[i];
        if (candidate.State == ThreadFree ||
            (candidate.State == ThreadEnded && candidate.HostDone && candidate.References == 0 &&
             candidate.HandleCount == 0))
            thread = &candidate;
    }
    if (!thread)
        return nullptr;
    std::condition_variable* wake = thread->Wake;
    int index = thread->Index;
    memset(static_cast<void*>(thread), 0, sizeof *thread);
    thread->Index = index;
    thread->Wake = wake;
    thread->Header.Type = NtThreadObject;
    thread->Header.Size = sizeof(NtDispatcherHeader) / 4;
    thread->Processor = -1;
    thread->Priority = DefaultPriority;
    thread->Affinity = Mask;
    thread->Ideal = IdealSeed++ % Count;
    thread->Process = SystemProcess;
    thread->DriverStarted = 1;
    thread->Gated = gated;
    thread->InKernel = 1;
    thread->StartRoutine = startRoutine;
    thread->StartContext = context;
    thread->WaitCount = 0;
    MakeReady(thread);

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, ThreadStackSize);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    ThreadSegmentRestoreGlobal();
    int created = pthread_create(&thread->Host, &attributes, HostThreadMain, thread);
    pthread_attr_destroy(&attributes);
    if (created != 0) {
        thread->State = ThreadFree;
        return nullptr;
    }
    SchedulerAssign();
    return thread;
}

// Other work of a lower priority gives its processor to the ready thread of
// the highest priority that has none; 1 if one did. A thread made ready
// takes it at once only on its ideal processor, as NT readies a thread for
// one processor; any other waits for the work's quantum to end
// (anyProcessor, when no thread can run on), when work of the same priority
// also gives its processor up, as NT's threads of one priority take turns.
static bool Preempt(bool anyProcessor)
{
    ModelThread* best = nullptr;
    int bestProcessor = -1;
    for (ModelThread& thread : Threads) {
        if (thread.State != ThreadReady || thread.Gated || thread.Busy)
            continue;
        int target = -1;
        for (int i = 0; i < Count && target < 0; ++i) {
            ModelThread* owner = Processors[i].Owner;
            int outranked =
                owner && (owner->Priority < thread.Priority || (anyProcessor && owner->Priority == thread.Priority));
            if ((anyProcessor || i == thread.Ideal) && owner && owner->Busy && outranked &&
                (thread.Affinity & (1u << i)))
                target = i;
        }
        if (target >= 0 &&
            (!best || thread.Priority > best->Priority ||
             (thread.Priority == best->Priority && thread.ReadySequence < best->ReadySequence))) {
            best = &thread;
            bestProcessor = target;
        }
    }
    if (!best)
        return false;
    ModelThread* owner = Processors[bestProcessor].Owner;
    owner->Processor = -1;
    MakeReady(owner);
    Processors[bestProcessor].Owner = best;
    best->Processor = bestProcessor;
    best->State = ThreadRunning;
    best->Wake->notify_all();
    return true;
}

void SchedulerAssign()
{
    for (;;) {
        ModelThread* best = nullptr;
        int bestProcessor = -1;
        for (ModelThread& thread : Threads) {
            if (thread.State != ThreadReady || thread.Gated)
                continue;
            int free = -1;
            for (int i = 0; i < Count && free < 0; ++i) {
                if (!Processors[i].Owner && (thread.Affinity & (1u << i)))
                    free = i;
            }
            if (free < 0)
                continue;
            if (!best || thread.Priority > best->Priority ||
                (thread.Priority == best->Priority && thread.ReadySequence < best->ReadySequence)) {
                best = &thread;
                bestProcessor = free;
            }
        }
        if (!best) {
            if (!Preempt(false))
                return;
            continue;
        }
        Processors[bestProcessor].Owner = best;
        best->Processor = bestProcessor;
        best->State = ThreadRunning;
        best->Wake->notify_all();
    }
}

uint32_t SchedulerWait(std::unique_lock<std::mutex>& lock, void* const* objects, uint32_t count, int waitAll,
                       int hasDeadline, uint64_t deadlineUs)
{
    ModelThread* thread = Current;
    uint32_t status;
    // A wait met at once tells the waiter as much as one it slept in.
    if (TrySatisfy(objects, count, waitAll, &status)) {
        thread->WokenAt = ++Order;
        return status;
    }
    if (hasDeadline && deadlineUs <= EmuNowUs())
        return NtStatusTimeout;
    for (uint32_t i = 0; i < count; ++i)
        thread->WaitObjects[i] = objects[i];
    thread->WaitCount = count;
    thread->WaitAll = waitAll;
    thread->HasDeadline = hasDeadline;
    thread->DeadlineUs = deadlineUs;
    thread->WaitDone = 0;
    thread->State = ThreadWaiting;
    ReleaseProcessor(thread);
    SchedulerAssign();
    CheckIdle();
    while (!(thread->WaitDone && thread->State == ThreadRunning))
        thread->Wake->wait(lock);
    thread->WaitCount = 0;
    return thread->WaitStatus;
}

void SchedulerSignal(void*)
{
    // Waits are satisfied in the order they became ready to wait.
    for (;;) {
        ModelThread* first = nullptr;
        uint32_t status = 0;
        for (ModelThread& thread : Threads) {
            if (thread.State != ThreadWaiting || thread.WaitDone || thread.WaitCount == 0)
                continue;
            if (first && thread.ReadySequence > first->ReadySequence)
                continue;
            uint32_t candidateStatus;
            bool ready = thread.WaitAll ? true : false;
            if (thread.WaitAll) {
                for (uint32_t i = 0; i < thread.WaitCount; ++i)
                    ready = ready && Signalled(thread.WaitObjects[i]);
                candidateStatus = NtStatusSuccess;
            } else {
                ready = false;
                for (uint32_t i = 0; i < thread.WaitCount && !ready; ++i) {
                    if (Signalled(thread.WaitObjects[i])) {
                        ready = true;
                        candidateStatus = i;
                    }
                }
            }
            if (ready) {
                first = &thread;
                status = candidateStatus;
            }
        }
        if (!first)
            break;
        uint32_t consumed;
        TrySatisfy(first->WaitObjects, first->WaitCount, first->WaitAll, &consumed);
        CompleteWait(first, status);
    }
    SchedulerAssign();
}

uint64_t SchedulerOrder()
{
    return Order;
}

void SchedulerEndThread(ModelThread* thread)
{
    ReleaseProcessor(thread);
    thread->State = ThreadEnded;
    thread->EndedAt = ++Order;
    thread->Header.SignalState = 1;
    SchedulerSignal(&thread->Header);
    SchedulerAssign();
}

void SchedulerSpinUntilFree(std::unique_lock<std::mutex>& lock, volatile uint32_t* word)
{
    ModelThread* thread = Current;
    thread->State = ThreadSpinning;
    CheckIdle();
    while (*word != 0)
        thread->Wake->wait(lock);
    thread->State = ThreadRunning;
}

void SchedulerYieldIfOutranked(std::unique_lock<std::mutex>& lock)
{
    ModelThread* thread = Current;
    if (thread->Irql >= DispatchLevel || thread->Processor < 0)
        return;
    for (ModelThread& other : Threads) {
        if (other.State == ThreadReady && !other.Gated && other.Priority > thread->Priority &&
            (other.Affinity & (1u << thread->Processor))) {
            ReleaseProcessor(thread);
            MakeReady(thread);
            SchedulerAssign();
            while (thread->State != ThreadRunning)
                thread->Wake->wait(lock);
            return;
        }
    }
}

void SchedulerWakeSpinners()
{
    for (ModelThread& thread : Threads) {
        if (thread.State == ThreadSpinning)
            thread.Wake->notify_all();
    }
}

void SchedulerClockMoved()
{
    uint64_t now = EmuNowUs();
    for (ModelThread& thread : Threads) {
        if (thread.State == ThreadWaiting && !thread.WaitDone && thread.HasDeadline && thread.DeadlineUs <= now)
            CompleteWait(&thread, NtStatusTimeout);
    }
    SchedulerAssign();
}

void SchedulerOpenGates()
{
    for (ModelThread& thread : Threads)
        thread.Gated = 0;
    SchedulerAssign();
}

void SchedulerStartWatcher()
{
    ThreadSegmentRestoreGlobal();
    std::thread([] {
        for (;;) {
            usleep(10000);
            std::lock_guard<std::mutex> lock(KernelLock);
            CheckIdle();
            CheckHoldDeadline();
        }
    }).detach();
}

uint32_t ProcessAffinity(int process)
{
    return process == CallerProcess && Settings.CallerAffinity ? Settings.CallerAffinity : Mask;
}

void SchedulerSetAffinity(std::unique_lock<std::mutex>& lock, ModelThread* thread, uint32_t mask)
{
    thread->Affinity = mask;
    if (!(mask & (1u << thread->Ideal))) {
        thread->Ideal = 0;
        while (!(mask & (1u << thread->Ideal)))
            ++thread->Ideal;
    }
    // Another thread running outside the set moves at its next wait.
    if (thread == Current && thread->Irql < DispatchLevel)
        SchedulerMoveIntoAffinity(lock);
    SchedulerAssign();
}

void SchedulerMoveIntoAffinity(std::unique_lock<std::mutex>& lock)
{
    ModelThread* thread = Current;
    if (thread->Processor < 0 || (thread->Affinity & (1u << thread->Processor)))
        return;
    ReleaseProcessor(thread);
    MakeReady(thread);
    SchedulerAssign();
    while (thread->State != ThreadRunning)
        thread->Wake->wait(lock);
}
