// The interrupt flag of each model processor. In a Linux user process cli and
// sti fault (general protection); the fault handler emulates them for the
// processor the thread runs on, and pushfd there always shows the flag set.
// With interrupts masked NT allows a few accesses only: an entry point or a
// system thread that ends, a thread start, a wait or a stall of more than a
// few accesses stops the run (rule INTERRUPT), and so does a BAR that holds
// the all ones of its size probe while interrupts are enabled on the
// processor that sizes it.
#ifndef NTMODEL_INTERRUPT_FLAG_H
#define NTMODEL_INTERRUPT_FLAG_H

#include <ucontext.h>

#include "model_kernel.h"

// For the fault handler: 1 when the faulting instruction is a cli or sti of
// the image, now emulated with EIP past it; 0 for any other fault.
int EmulateInterruptFlagInstruction(ModelThread* thread, ucontext_t* context);
// Whether interrupts are masked on the thread's processor.
int InterruptsMasked(const ModelThread* thread);
// Stops the run, naming what the thread did, if its processor has interrupts masked.
void BreakIfInterruptsMasked(KernelCall& call, const char* what);
void BugcheckIfInterruptsMasked(const ModelThread* thread, const char* routine, const void* at, const char* what);
// A stall longer than this with interrupts masked stops the run.
enum : uint32_t { LongestMaskedStallUs = 5 };

// Around each configuration access of the HAL (under KernelLock): the machine
// learns the calling processor's flag, and a size probe that interrupts
// reached stops the run.
void BeginConfigAccess(KernelCall& call);
void EndConfigAccess(KernelCall& call);

#endif
