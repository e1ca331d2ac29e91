// The NT kernel's own answers for the services that a driver build may
// route through its machine first (the emulated-hardware build injects the
// machine's processor count and faults before calling these).
#ifndef PELMIX_NT_KERNEL_SERVICES_H
#define PELMIX_NT_KERNEL_SERVICES_H

#include "nt_ddk.h"
#include "platform.h"

int KernelQueryProcessors(uint8_t* numberOfProcessors, uint32_t* activeProcessorsMask);
int KernelCreateSystemThread(PlatformThreadStart start, void* context);
int KernelWaitForSystemThreads(int64_t relativeTimeout100ns);
// The referenced system threads not yet seen to end, at most capacity.
enum { KernelSystemThreadCapacity = 64 };
unsigned KernelRunningSystemThreads(PVOID* threads, unsigned capacity);
int KernelWaitForEvent(PlatformEvent* event, int64_t relativeTimeout100ns);
void KernelDelayExecution(int64_t relativeInterval100ns);

#endif
