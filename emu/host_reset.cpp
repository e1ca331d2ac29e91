// The reset of the host platform between driver lifetimes.
#include "host_internal.h"
#include "host_platform.h"

void HostResetPlatform()
{
    HostResetKernel();
    HostResetMappings();
    HostResetInterrupts();
}
