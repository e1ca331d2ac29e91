// Calls from the model into the driver image. Each call checks what the
// stdcall convention leaves: the stack pointer where it was before the
// arguments were pushed, and EBX, ESI and EDI unchanged.
#ifndef NTMODEL_ENTRY_CALLS_H
#define NTMODEL_ENTRY_CALLS_H

#include <stdint.h>

#include "model_kernel.h"

// Calls the routine with count 32-bit arguments on the calling model thread
// (kernel lock not held) and returns its EAX; a broken convention stops the
// run with a STACK bugcheck naming the entry point.
uint32_t CallDriver(const char* entryName, void* routine, const uint32_t* arguments, uint32_t count);
// Every driver entry runs on its thread's kernel stack: 12 KB, as x86 NT
// gives each thread, above a reserved stretch that allows no access, in which
// a fault is the driver going past its stack (STACK). A nested entry runs on
// where the stack already is.
enum { KernelStackSize = 12 * 1024, KernelStackGuardSize = 64 * 1024 };
// 1 if address lies in the guard below a thread's kernel stack.
int EntryStackGuardHit(const void* address);
// Gives the calling host thread, model thread thread, an alternate stack of
// its own for signals, so that a fault at the end of its kernel stack can be
// reported.
void EntryStackInstallSignalStack(const ModelThread* thread);
// Runs a driver thread's start routine; returns if the routine returns.
void RunThreadStart(ModelThread* thread);

#endif
