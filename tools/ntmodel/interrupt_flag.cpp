#include "interrupt_flag.h"

#include <stdio.h>

#include "pci_machine.h"

namespace {

const uint8_t Cli = 0xFA;
const uint8_t Sti = 0xFB;

// Written by each processor's own thread; read under KernelLock.
volatile int Masked[MaxProcessors];
// The processor that made the last configuration access, whose flag the
// machine holds; -1 before the first.
int ConfigProcessor = -1;
// Unmasked size probes already reported (none: the first stops the run).
uint32_t UnmaskedSeen;

void DescribeProbe(char* text, uint32_t size)
{
    EmuBarProbe probe = {};
    EmuFirstUnmaskedBarProbe(&probe);
    snprintf(text, size, "BAR 0x%02x of %u:%02x.%u", probe.Offset, probe.Bus, probe.Device, probe.Function);
}

}  // namespace

int EmulateInterruptFlagInstruction(ModelThread* thread, ucontext_t* context)
{
    const uint8_t* pc = reinterpret_cast<const uint8_t*>(context->uc_mcontext.gregs[REG_EIP]);
    if (!thread || thread->Processor < 0 || !Image.Base || pc < Image.Base || pc >= Image.Base + Image.Size ||
        (*pc != Cli && *pc != Sti))
        return 0;
    std::lock_guard<std::mutex> lock(KernelLock);
    int processor = thread->Processor;
    Masked[processor] = *pc == Cli;
    if (*pc == Sti && processor == ConfigProcessor) {
        EmuSetInterruptsMasked(0);
        if (EmuUnmaskedBarProbeCount() != UnmaskedSeen) {
            char probe[64];
            DescribeProbe(probe, sizeof probe);
            Bugcheck("INTERRUPT", EntryNameOf(thread), pc,
                     "enables interrupts on processor %d while %s holds the all ones of its size probe", processor,
                     probe);
        }
    }
    context->uc_mcontext.gregs[REG_EIP] += 1;
    return 1;
}

int InterruptsMasked(const ModelThread* thread)
{
    return thread->Processor >= 0 && Masked[thread->Processor];
}

void BreakIfInterruptsMasked(KernelCall& call, const char* what)
{
    if (InterruptsMasked(call.Thread))
        call.Break("INTERRUPT", "%s with interrupts masked on processor %d", what, call.Thread->Processor);
}

void BugcheckIfInterruptsMasked(const ModelThread* thread, const char* routine, const void* at, const char* what)
{
    if (InterruptsMasked(thread))
        Bugcheck("INTERRUPT", routine, at, "%s with interrupts masked on processor %d", what, thread->Processor);
}

void BeginConfigAccess(KernelCall& call)
{
    ConfigProcessor = call.Thread->Processor;
    EmuSetInterruptsMasked(InterruptsMasked(call.Thread));
}

void EndConfigAccess(KernelCall& call)
{
    if (EmuUnmaskedBarProbeCount() == UnmaskedSeen)
        return;
    UnmaskedSeen = EmuUnmaskedBarProbeCount();
    char probe[64];
    DescribeProbe(probe, sizeof probe);
    call.Break("INTERRUPT",
               "%s holds the all ones of its size probe with interrupts enabled on processor %d: its decoder covers "
               "the top of the address space while an interrupt may run",
               probe, call.Thread->Processor);
}
