// What the driver entry asks of the build it is linked into, beyond the
// platform interface: the real driver has nothing to set up, the
// emulated-hardware driver loads its machine at start and saves the flash
// images after requests.
#ifndef PELMIX_NT_DRIVER_HOOKS_H
#define PELMIX_NT_DRIVER_HOOKS_H

#include "nt_ddk.h"

// Runs first in DriverEntry; a failure status stops the load.
NTSTATUS DriverHooksStart(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);
// Runs before every device-control request is dispatched, with its system
// buffer of max(inLength, outLength) bytes.
void DriverHooksRequestStart(void* systemBuffer, ULONG inLength, ULONG outLength);
// Runs after every device-control request, before the request completes.
void DriverHooksRequestDone();
// Runs last in the unload routine.
void DriverHooksStop();

#endif
