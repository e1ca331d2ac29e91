// The real driver reaches its hardware directly: nothing to load at start or
// to save after a request.
#include "driver_hooks.h"

NTSTATUS DriverHooksStart(PDRIVER_OBJECT, PUNICODE_STRING)
{
    return STATUS_SUCCESS;
}

void DriverHooksRequestStart(void*, ULONG, ULONG)
{
}

void DriverHooksRequestDone()
{
}

void DriverHooksStop()
{
}
