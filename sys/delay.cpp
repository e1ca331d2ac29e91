#include "delay.h"

#include "platform.h"

void DelayMs(uint32_t milliseconds)
{
    if (PlatformGetCurrentIrql() > PlatformPassiveLevel)
        PlatformStallMicroseconds(milliseconds * 1000u);
    else
        PlatformDelayExecution(-10000 * static_cast<int64_t>(milliseconds));
}
