#include "entry_calls.h"

#include "interrupt_flag.h"

struct EntryOutcome {
    uint32_t Result;
    int32_t StackDelta;
    uint32_t Clobbered;  // bit 0 EBX, 1 ESI, 2 EDI
};

extern "C" uint32_t ModelCallStdcall(void* routine, const uint32_t* arguments, uint32_t count, EntryOutcome* outcome);

uint32_t CallDriver(const char* entryName, void* routine, const uint32_t* arguments, uint32_t count)
{
    ModelThread* thread = CurrentThread();
    const char* outerEntry;
    {
        std::lock_guard<std::mutex> lock(KernelLock);
        outerEntry = thread->EntryName;
        thread->EntryName = entryName;
        thread->InKernel = 0;
        ++KernelCallCount;
    }
    EntryOutcome outcome = {};
    PcrLoad(thread);
    ModelCallStdcall(routine, arguments, count, &outcome);
    std::lock_guard<std::mutex> lock(KernelLock);
    thread->InKernel = 1;
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

const char* EntryNameOf(const ModelThread* thread)
{
    return thread->EntryName ? thread->EntryName : "model";
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
