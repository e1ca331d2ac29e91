// Masking interrupts in the emulated-hardware driver: Wine runs the driver in
// a user process, where cli and sti fault, and the emulated machine has no
// interrupts to deliver. The flag is recorded instead, and told to the
// machine, which notes whether a BAR's size probe ran with it set. Only the
// requesting thread masks, one probe at a time, so one flag serves.
#include "pci_machine.h"
#include "platform.h"

namespace {

volatile int InterruptsMasked;

}  // namespace

int PlatformMaskInterrupts()
{
    int wereEnabled = InterruptsMasked ? 0 : 1;
    InterruptsMasked = 1;
    EmuSetInterruptsMasked(1);
    return wereEnabled;
}

void PlatformRestoreInterrupts(int wereEnabled)
{
    if (!wereEnabled)
        return;
    InterruptsMasked = 0;
    EmuSetInterruptsMasked(0);
}
