// The bugcheck line and the kernel call guard every model routine holds.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <atomic>

#include "model_kernel.h"

ModelSettings Settings = {Nt51, 0, 1, "", 0, 0, 0, 0, 0};
LoadedImage Image;
char ImageName[64] = "Pelmix.sys";

namespace {

std::atomic<int> Stopping {0};

// A call through the import table (FF 15 and a 32-bit address) is reported
// at the call instruction; any other address as it is.
uintptr_t ReportedAddress(const void* address)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(address);
    uintptr_t base = reinterpret_cast<uintptr_t>(Image.Base);
    if (!Image.Base || value < base + 6 || value >= base + Image.Size || Image.Unloaded)
        return value;
    const uint8_t* call = reinterpret_cast<const uint8_t*>(value - 6);
    return call[0] == 0xFF && call[1] == 0x15 ? value - 6 : value;
}

}  // namespace

void FormatImageAddress(const void* address, char* text, uint32_t size)
{
    uintptr_t at = ReportedAddress(address);
    uintptr_t base = reinterpret_cast<uintptr_t>(Image.Base);
    if (Image.Base && at >= base && at < base + Image.Size)
        snprintf(text, size, "%s+0x%x", ImageName, static_cast<unsigned>(at - base));
    else
        snprintf(text, size, "0x%08x", static_cast<unsigned>(at));
}

namespace {

[[noreturn]] void Stop(int exitCode, const char* rule, const char* routine, const void* address, const char* what)
{
    if (Stopping.exchange(1) != 0) {
        for (;;)
            pause();
    }
    char where[128];
    FormatImageAddress(address, where, sizeof where);
    fflush(stdout);
    printf("BUGCHECK %s routine=%s at=%s: %s\n", rule, routine, where, what);
    fflush(stdout);
    fflush(stderr);
    _exit(exitCode);
}

}  // namespace

void Bugcheck(const char* rule, const char* routine, const void* address, const char* format, ...)
{
    char what[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    Stop(4, rule, routine, address, what);
}

void RefuseLoad(const char* routine, const void* address, const char* format, ...)
{
    char what[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    Stop(3, "IMPORT", routine, address, what);
}

KernelCall::KernelCall(const char* routine, const void* caller, uint8_t highestIrql)
    : Lock(KernelLock), Thread(CurrentThread()), Routine(routine), Caller(caller)
{
    if (!Thread)
        Bugcheck("THREAD", routine, caller, "called on a thread the kernel did not start");
    Thread->InKernel = 1;
    Thread->LastCaller = caller;
    ++KernelCallCount;
    if (Image.Unloaded)
        Break("THREAD", "called from the driver after its unload");
    if (Thread->WaitNext && strcmp(routine, "KeWaitForSingleObject") != 0 &&
        strcmp(routine, "KeWaitForMultipleObjects") != 0)
        Break("IRQL",
              "called after KeSetEvent with Wait TRUE, before the wait it must be followed by: the thread is at "
              "DISPATCH_LEVEL holding the dispatcher lock");
    if (Thread->Irql > highestIrql)
        Break("IRQL", "called at IRQL %u; the routine allows at most %u", Thread->Irql, highestIrql);
}

KernelCall::~KernelCall()
{
    // A ready thread of a higher priority with no processor of its own takes
    // this one as the call returns, as NT's dispatcher preempts.
    if (Thread->Irql < DispatchLevel)
        SchedulerYieldIfOutranked(Lock);
    Thread->InKernel = 0;
    // A wait or a move may have given the thread another processor.
    PcrLoad(Thread);
}

void KernelCall::Break(const char* rule, const char* format, ...)
{
    char what[400];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    Bugcheck(rule, Routine, Caller, "%s", what);
}
