// Interrupts on the host platform: each thread is a processor of its own, so
// the flag is the thread's. Every change is told to the emulated machine,
// and so is the flag before each configuration access, which lets the
// machine see whether a BAR's size probe ran with interrupts masked. A wait,
// a sleep, a thread start, a long stall or the request lock with interrupts
// masked is a misuse.
#include <atomic>

#include "host_internal.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "platform.h"

namespace {

// Longer than a few configuration accesses take.
const uint32_t LongestMaskedStallUs = 5;

thread_local int Masked;
std::atomic<uint32_t> Masks {0};

}  // namespace

int PlatformMaskInterrupts()
{
    int wereEnabled = Masked ? 0 : 1;
    Masked = 1;
    Masks.fetch_add(1);
    EmuSetInterruptsMasked(1);
    return wereEnabled;
}

void PlatformRestoreInterrupts(int wereEnabled)
{
    if (!Masked)
        HostReportMisuse("interrupts restored while not masked");
    if (!wereEnabled)
        return;
    Masked = 0;
    EmuSetInterruptsMasked(0);
}

int HostInterruptsMasked()
{
    return Masked;
}

uint32_t HostInterruptMasks()
{
    return Masks.load();
}

void HostTellMachineInterrupts()
{
    EmuSetInterruptsMasked(Masked);
}

void HostCheckInterruptsEnabled(const char* misuse)
{
    if (Masked)
        HostReportMisuse(misuse);
}

void HostCheckMaskedStall(uint32_t microseconds)
{
    if (Masked && microseconds > LongestMaskedStallUs)
        HostReportMisuse("a stall of more than a few accesses with interrupts masked");
}

void HostResetInterrupts()
{
    Masked = 0;
    Masks.store(0);
    EmuSetInterruptsMasked(0);
}
