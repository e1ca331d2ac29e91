// Shared between the host platform files.
#ifndef PELMIX_EMU_HOST_INTERNAL_H
#define PELMIX_EMU_HOST_INTERNAL_H

#include <stdint.h>

// Records a misuse of the platform by the driver (see HostMisuseCount).
void HostReportMisuse(const char* what);
void HostResetMappings();
void HostResetKernel();
// Holds a window access while a test has paused them (HostPauseWindowAccesses).
void HostWaitWhilePaused();
// A bus or configuration access or an IRQL query ends the busy wait the
// delay log is adding stalls to.
void HostEndStallRun();
// Interrupts on the calling thread (host_interrupts.cpp): the flag told to the
// machine before a configuration access, and misuses with them masked.
void HostTellMachineInterrupts();
void HostCheckInterruptsEnabled(const char* misuse);
void HostCheckMaskedStall(uint32_t microseconds);
void HostResetInterrupts();

#endif
