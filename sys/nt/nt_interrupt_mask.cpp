// Masking interrupts on the calling processor, with the processor's own
// instructions: the IRQL stays as it is, since the HAL's bus-data routines
// may not be called above DISPATCH_LEVEL. Their configuration lock raises
// and lowers the IRQL around each access and leaves the interrupt flag as
// it found it.
//
// Interrupts are enabled again only when the flag was set before: a caller
// that had them masked keeps them masked. A kernel that runs the driver in a
// user process (the model kernel of the tests) shows the flag always set and
// emulates cli and sti, so the same code runs there.
#include "platform.h"

namespace {

const unsigned long InterruptFlag = 0x200;

}  // namespace

int PlatformMaskInterrupts()
{
    unsigned long flags;
    __asm__ __volatile__("pushf\n\tpop %0\n\tcli" : "=r"(flags) : : "memory");
    return (flags & InterruptFlag) ? 1 : 0;
}

void PlatformRestoreInterrupts(int wereEnabled)
{
    if (wereEnabled)
        __asm__ __volatile__("sti" : : : "memory");
}
