#include "driver_state.h"

// The load-time value is a constant: the image runs no constructor at load.
static_assert((DriverStateRecord(), true), "the driver state needs no constructor at run time");
DriverStateRecord Driver;

void ResetDriverState()
{
    Driver = DriverStateRecord();
    PlatformInitializeRequestLock(&Driver.RequestLock);
}

int PrepareDriverUnload()
{
    return WaitForHoldingThreadsToEnd();
}
