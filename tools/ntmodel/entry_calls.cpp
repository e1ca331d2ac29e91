#include "entry_calls.h"

#include <signal.h>
#include <sys/mman.h>

#include "interrupt_flag.h"

struct EntryOutcome {
    uint32_t Result;
    int32_t StackDelta;
    uint32_t Clobbered;  // bit 0 EBX, 1 ESI, 2 EDI
};

extern "C" uint32_t ModelCallStdcall(void* routine, const uint32_t* arguments, uint32_t count, EntryOutcome* outcome,
                                     void* stackTop);

namespace {

const uint32_t SignalStackSize = 32 * 1024;

// Each thread slot's guard and kernel stack, reserved at its first entry.
uint8_t* Stacks[MaxThreads];
uint8_t SignalStacks[MaxThreads][SignalStackSize];

// Under KernelLock. The top of the thread's kernel stack.
void* KernelStackTop(const ModelThread* thread)
{
    uint8_t*& region = Stacks[thread->Index];
    if (!region) {
        void* memory = mmap(nullptr, KernelStackGuardSize + KernelStackSize, PROT_NONE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory == MAP_FAILED)
            Bugcheck("FAULT", "model", nullptr, "the host refuses a kernel stack");
        region = static_cast<uint8_t*>(memory);
        if (mprotect(region + KernelStackGuardSize, KernelStackSize, PROT_READ | PROT_WRITE) != 0)
            Bugcheck("FAULT", "model", nullptr, "the host refuses a kernel stack");
    }
    return region + KernelStackGuardSize + KernelStackSize;
}

}  // namespace

int EntryStackGuardHit(const void* address)
{
    const uint8_t* at = static_cast<const uint8_t*>(address);
    for (uint8_t* region : Stacks) {
        if (region && at >= region && at < region + KernelStackGuardSize)
            return 1;
    }
    return 0;
}

void EntryStackInstallSignalStack(const ModelThread* thread)
{
    stack_t stack = {};
    stack.ss_sp = SignalStacks[thread->Index];
    stack.ss_size = SignalStackSize;
    sigaltstack(&stack, nullptr);
}

uint32_t CallDriver(const char* entryName, void* routine, const uint32_t* arguments, uint32_t count)
{
    ModelThread* thread = CurrentThread();
    const char* outerEntry;
    void* stackTop;
    {
        std::lock_guard<std::mutex> lock(KernelLock);
        outerEntry = thread->EntryName;
        thread->EntryName = entryName;
        thread->InKernel = 0;
        ++KernelCallCount;
        stackTop = thread->EntryDepth++ == 0 ? KernelStackTop(thread) : nullptr;
    }
    EntryOutcome outcome = {};
    PcrLoad(thread);
    ModelCallStdcall(routine, arguments, count, &outcome, stackTop);
    std::lock_guard<std::mutex> lock(KernelLock);
    thread->InKernel = 1;
    --thread->EntryDepth;
    if (outcome.StackDelta != 0)
        Bugcheck("STACK", entryName, routine,
                 "the stack pointer is %d bytes off at its return: a stdcall routine of %u argument bytes pops them",
                 static_cast<int>(outcome.StackDelta), static_cast<unsigned>(count * 4));
    if (outcome.Clobbered)
        Bugcheck("STACK", entryName, routine, "%s%s%s not preserved across the call",
                 outcome.Clobbered & 1 ? "EBX " : "", outcome.Clobbered & 2 ? "ESI " : "",
                 outcome.Clobbered & 4 ? "EDI " : "");
    BugcheckIfInterruptsMasked(thread, entryName, routine, "returns");
    thread->EntryName = outerEntry;
    return outcome.Result;
}

void RunThreadStart(ModelThread* thread)
{
    uint32_t context = reinterpret_cast<uint32_t>(thread->StartContext);
    CallDriver("ThreadStartRoutine", thread->StartRoutine, &context, 1);
    std::lock_guard<std::mutex> lock(KernelLock);
    if (thread->Irql != PassiveLevel)
        Bugcheck("IRQL", "ThreadStartRoutine", thread->StartRoutine, "a system thread ends at IRQL %u", thread->Irql);
    if (thread->HeldSpinLockCount)
        Bugcheck("SPINLOCK", "ThreadStartRoutine", thread->StartRoutine, "a system thread ends holding a spin lock");
}
