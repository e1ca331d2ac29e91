// Where a thread runs: the processor control region each model processor
// has, which driver code reads through fs (KeGetCurrentProcessorNumber is
// the byte at fs:[0x51]), and KeSetAffinityThread.
//
// Model threads are host threads that own a processor only while they run
// driver code, and a thread's processor changes only inside a kernel call
// (a wait, a move for its affinity). So each processor's region is one
// entry of the process's local descriptor table, made once at the start,
// and fs is loaded with the entry of the thread's processor each time
// control goes back into driver code: when a model routine returns and when
// an entry point is called. The 32-bit C library uses gs, never fs.
#include <asm/ldt.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "kernel_objects.h"
#include "model_kernel.h"
#include "model_routines.h"

namespace {

// The part of the x86 KPCR a driver may read (its Number at 0x51, as the
// DDK's KeGetCurrentProcessorNumber does); the rest stays zero.
const uint32_t PcrSize = 0x100;
const uint32_t PcrNumberOffset = 0x51;
const uint32_t PcrSetMemberOffset = 0x48;

struct alignas(16) ModelPcr {
    uint8_t Bytes[PcrSize];
};
ModelPcr Pcrs[MaxProcessors];

// A selector of the local table at user privilege.
uint16_t SelectorOf(int processor)
{
    return static_cast<uint16_t>((processor << 3) | 4 | 3);
}

}  // namespace

int PcrInstall(int processors)
{
    for (int i = 0; i < processors; ++i) {
        memset(Pcrs[i].Bytes, 0, PcrSize);
        Pcrs[i].Bytes[PcrNumberOffset] = static_cast<uint8_t>(i);
        uint32_t member = 1u << i;
        memcpy(Pcrs[i].Bytes + PcrSetMemberOffset, &member, 4);
        user_desc entry = {};
        entry.entry_number = static_cast<unsigned>(i);
        entry.base_addr = reinterpret_cast<uintptr_t>(Pcrs[i].Bytes);
        entry.limit = PcrSize - 1;
        entry.seg_32bit = 1;
        entry.useable = 1;
        if (syscall(SYS_modify_ldt, 1, &entry, sizeof entry) != 0)
            return 0;
    }
    return 1;
}

void PcrLoad(const ModelThread* thread)
{
    // Without a processor no driver code runs; a null fs faults if it does.
    uint16_t selector = thread->Processor >= 0 ? SelectorOf(thread->Processor) : 0;
    asm volatile("movw %0, %%fs" : : "r"(selector));
}

extern "C" {

MODEL_STDCALL uint32_t ModelKeSetAffinityThread(void* object, uint32_t affinity)
{
    KernelCall call("KeSetAffinityThread", MODEL_CALLER, DispatchLevel);
    ModelThread* thread = ThreadOfObject(object);
    if (!thread)
        call.Break("REFERENCE", "sets the affinity of %p, which is no thread", object);
    // NT stops here with INVALID_AFFINITY_SET.
    uint32_t process = ProcessAffinity(thread->Process);
    if (affinity == 0 || (affinity & ~process) != 0)
        call.Break("AFFINITY", "sets the affinity 0x%x, not a non-empty subset of its process's 0x%x", affinity,
                   process);
    uint32_t old = thread->Affinity;
    SchedulerSetAffinity(call.Lock, thread, affinity);
    return old;
}

// The thread-information call, for the affinity class: checked against the
// process's affinity under the process's lock (here the kernel lock, which
// a change of the process's affinity holds too), refused with
// STATUS_INVALID_PARAMETER where KeSetAffinityThread would stop. The model
// serves no other class.
MODEL_STDCALL uint32_t ModelZwSetInformationThread(uint32_t handle, uint32_t informationClass, const void* information,
                                                   uint32_t length)
{
    KernelCall call("ZwSetInformationThread", MODEL_CALLER, PassiveLevel);
    const uint32_t ThreadAffinityMaskClass = 4;
    const uint32_t CurrentThreadHandle = 0xFFFFFFFEu;
    if (informationClass != ThreadAffinityMaskClass)
        call.Break("IMPORT", "the model does not serve ZwSetInformationThread class %u", informationClass);
    if (length != sizeof(uint32_t))
        return NtStatusInfoLengthMismatch;
    ModelThread* thread = nullptr;
    if (handle == CurrentThreadHandle) {
        thread = call.Thread;
    } else if (HandleEntry* entry = HandleLookup(handle, call.Thread)) {
        thread = entry->Kind == ObjectThread ? ThreadOfObject(entry->Object) : nullptr;
        if (!thread)
            return NtStatusObjectTypeMismatch;
    } else {
        return NtStatusInvalidHandle;
    }
    uint32_t affinity;
    memcpy(&affinity, information, sizeof affinity);
    if (affinity == 0 || (affinity & ~ProcessAffinity(thread->Process)) != 0)
        return NtStatusInvalidParameter;
    SchedulerSetAffinity(call.Lock, thread, affinity);
    return NtStatusSuccess;
}

}  // extern "C"
