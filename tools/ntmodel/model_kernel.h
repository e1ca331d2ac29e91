// The model kernel's shared state: the loaded image, the model processors
// and threads, the kernel lock every model routine runs under, and the
// bugcheck that stops a run when the driver breaks one of NT's rules.
//
// Threads are host threads. Driver code runs without the kernel lock, truly
// concurrently, but only on a thread that owns a model processor; a thread
// gives its processor up when it waits, ends or is moved off it by its
// affinity, or at the end of a kernel call below DISPATCH_LEVEL to a ready
// thread of a higher priority; a thread at DISPATCH_LEVEL never waits or
// moves, so nothing else runs on its processor.
// Processors go to ready threads in priority order, then in the order they
// became ready. The virtual clock of the emulated machine advances by stalls,
// and jumps to the next time-out only when no thread can run on: every
// thread waits, has no processor, or spins (in a spin-lock acquire, or in
// driver code for a long stretch of its own processor time without a kernel
// call, counted from the last kernel call of any thread, since that thread
// may have released it). With nothing to jump to, the machine hangs.
#ifndef NTMODEL_MODEL_KERNEL_H
#define NTMODEL_MODEL_KERNEL_H

#include <pthread.h>
#include <setjmp.h>
#include <stdint.h>

#include <condition_variable>
#include <mutex>
#include <type_traits>

#include "nt_records.h"

enum NtVersion { Nt40 = 400, Nt50 = 500, Nt51 = 501 };

struct ModelSettings {
    int Version;              // NtVersion
    int CpuCount;             // 0: the machine file's
    int Caller;               // CallerKind (security_check.h): whose token opens the device
    const char* OpenBelow;    // the name below the device the caller opens ("" for the device)
    uint32_t LingerMs;        // machine time a released holding thread takes to leave
    int32_t BusyPriority;     // other work at this priority on every processor but the first (0: none)
    int SuspendCaller;        // the caller's thread is suspended in the first wait of a processor hold
    uint32_t CallerAffinity;  // the processors the caller's process may use (0: all)
    uint32_t AffinityChange;  // the caller's process affinity set to this in a processor hold (0: none)
};
extern ModelSettings Settings;

// ---- The driver image
struct LoadedImage {
    uint8_t* Base;
    uint32_t Size;
    void* Entry;
    int Unloaded;
};
extern LoadedImage Image;
extern char ImageName[64];  // the driver file's name, "Pelmix.sys"

// Stops the run: one line "BUGCHECK RULE routine=R at=Pelmix.sys+0xOFFSET: TEXT"
// on standard output, exit code 4.
[[noreturn]] void Bugcheck(const char* rule, const char* routine, const void* address, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// An address as the bugcheck line gives it: IMAGE+0xOFFSET (a call through
// the import table at its call instruction) or 0xADDRESS.
void FormatImageAddress(const void* address, char* text, uint32_t size);
// Refuses the load of the image: "BUGCHECK IMPORT routine=R at=IMAGE+0xSLOT: TEXT",
// exit code 3.
[[noreturn]] void RefuseLoad(const char* routine, const void* address, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// ---- Threads and processors
enum ThreadState { ThreadFree, ThreadReady, ThreadRunning, ThreadWaiting, ThreadSpinning, ThreadEnded };
enum ModelProcess { SystemProcess = 0, CallerProcess = 1 };
enum { MaxThreads = 64, MaxProcessors = 32, MaxWaitObjects = 64, MaxHeldSpinLocks = 8 };

struct ModelThread {
    NtDispatcherHeader Header;  // what the driver holds as the thread object
    uint8_t ObjectBody[0x1F0];  // room a driver may read as a KTHREAD
    int Index;
    int State;
    int Processor;  // -1 without one
    uint8_t Irql;
    int32_t Priority;
    uint32_t Affinity;
    int Ideal;             // the processor a readied thread may take from other work at once
    int Process;           // ModelProcess whose handle table the thread uses
    int PreviousModeUser;  // the thread came from user mode
    int DriverStarted;
    int Gated;            // kept from every processor by a fault of the machine
    int CriticalRegion;   // KeEnterCriticalRegion depth: kernel APCs (a suspension) wait
    int SuspendPending;   // a suspension held back by the critical region
    int Busy;             // other work of the machine: no host thread, yields only to a higher priority
    uint32_t References;  // taken by the driver and not yet released
    uint64_t ReadySequence;
    uint64_t ReadyAtUs;  // virtual time it last became ready
    pthread_t Host;
    jmp_buf Exit;
    void* StartRoutine;
    void* StartContext;
    std::condition_variable* Wake;
    // The wait in progress.
    void* WaitObjects[MaxWaitObjects];
    uint32_t WaitCount;
    int WaitAll;
    int HasDeadline;
    uint64_t DeadlineUs;
    int WaitDone;
    uint32_t WaitStatus;
    // Rules' bookkeeping.
    void* HeldSpinLocks[MaxHeldSpinLocks];
    uint32_t HeldSpinLockCount;
    int InKernel;            // inside a model routine or the model's own code
    uint64_t RaisedAtUs;     // virtual time it reached DISPATCH_LEVEL
    uint64_t RaisedTotalUs;  // virtual time spent at DISPATCH_LEVEL or above
    const void* LastCaller;
    uint64_t CallsSeen;  // KernelCallCount when the watcher last looked
    uint64_t CpuAtSeenNs;
    const char* EntryName;  // the driver entry point the thread runs under
    int EntryDepth;         // driver entries running on its kernel stack
    int WaitNext;           // after KeSetEvent with Wait TRUE: holds the dispatcher lock until it waits
    uint8_t WaitNextIrql;   // the IRQL that wait goes back to
    uint64_t EndedAt;       // SchedulerOrder at its end
    uint64_t WokenAt;       // SchedulerOrder when its last wait ended
    uint32_t HandleCount;   // handles that name the thread
    int HostDone;           // its host thread has returned
};

// A thread's slot is cleared with memset when it is reused.
static_assert(std::is_trivially_copyable<ModelThread>::value, "a thread record holds plain data only");

// The entry point a thread runs under, for reports.
const char* EntryNameOf(const ModelThread* thread);

extern std::mutex KernelLock;
// Kernel calls and driver entries so far, by every thread: a thread spinning
// in driver code may be waiting for what any of them changed.
extern uint64_t KernelCallCount;
extern ModelThread Threads[MaxThreads];

ModelThread* CurrentThread();
int ProcessorCount();
uint32_t ProcessorMask();

// Starts the scheduler with the calling thread as the caller's thread, on
// the first processor, at PASSIVE_LEVEL.
void SchedulerStart(int processors, uint32_t mask);
// Under KernelLock. A new driver thread, ready to run; null when none is free.
ModelThread* SchedulerCreateThread(void* startRoutine, void* context, int gated);
// Under KernelLock: gives free processors to ready threads, and takes one from
// other work of a lower priority for a ready thread that has none.
void SchedulerAssign();
// Under KernelLock: the calling thread, whose priority dropped, gives its
// processor to a ready thread of a higher priority (none at DISPATCH_LEVEL)
// and waits for one again.
void SchedulerYieldIfOutranked(std::unique_lock<std::mutex>& lock);
// Under KernelLock: waits for the objects (thread headers or events in driver
// memory) until satisfied or the deadline; returns the NT wait status.
uint32_t SchedulerWait(std::unique_lock<std::mutex>& lock, void* const* objects, uint32_t count, int waitAll,
                       int hasDeadline, uint64_t deadlineUs);
// Under KernelLock: an object became signalled; wakes the waits it satisfies.
void SchedulerSignal(void* object);
// Under KernelLock: the order of the scheduler's events so far (thread
// ends, wait ends): what a thread learned when its wait ended happened
// before that stamp.
uint64_t SchedulerOrder();
// Under KernelLock: the calling thread ends (its processor is free, its
// object signalled).
void SchedulerEndThread(ModelThread* thread);
// Under KernelLock: spins for a spin lock until its word is 0, as a thread
// that keeps its processor.
void SchedulerSpinUntilFree(std::unique_lock<std::mutex>& lock, volatile uint32_t* word);
// Under KernelLock: a spin lock was released; spinning threads look again.
void SchedulerWakeSpinners();
// Under KernelLock: the virtual clock moved on; wakes expired waits.
void SchedulerClockMoved();
// Ungates every gated thread (a fault's late thread gets its processor).
void SchedulerOpenGates();
// Starts the watcher that finds hangs and idle stretches.
void SchedulerStartWatcher();

// ---- Affinity and the processors' control regions (kernel_affinity.cpp)
// The processors a process's threads may use.
uint32_t ProcessAffinity(int process);
// Under KernelLock: the thread may run only on the processors of mask. The
// calling thread, below DISPATCH_LEVEL and on a processor outside it, gives
// its processor up and waits for one of them; at DISPATCH_LEVEL it moves once
// its IRQL drops (SchedulerMoveIntoAffinity).
void SchedulerSetAffinity(std::unique_lock<std::mutex>& lock, ModelThread* thread, uint32_t mask);
// Under KernelLock: the calling thread, below DISPATCH_LEVEL, moves onto a
// processor of its affinity if it is not on one.
void SchedulerMoveIntoAffinity(std::unique_lock<std::mutex>& lock);
// Makes each processor's control region and its descriptor; 0 when the
// host refuses the descriptor.
int PcrInstall(int processors);
// Points fs at the control region of the thread's processor: called on the
// thread itself whenever control goes back into driver code.
void PcrLoad(const ModelThread* thread);

// Virtual time in microseconds (the emulated machine's clock).
uint64_t ModelNowUs();
void ModelAdvanceUs(uint64_t microseconds);  // under KernelLock

// Every model routine the driver calls holds one of these for its duration:
// it takes the kernel lock, checks the routine's IRQL range and notes the
// call for the rules' reports.
struct KernelCall {
    std::unique_lock<std::mutex> Lock;
    ModelThread* Thread;
    const char* Routine;
    const void* Caller;
    KernelCall(const char* routine, const void* caller, uint8_t highestIrql);
    ~KernelCall();
    [[noreturn]] void Break(const char* rule, const char* format, ...) __attribute__((format(printf, 3, 4)));
};

enum : uint8_t { PassiveLevel = 0, ApcLevel = 1, DispatchLevel = 2, HighLevel = 31 };

// The calling thread's processor time in nanoseconds.
uint64_t ThreadCpuNs();

#endif
