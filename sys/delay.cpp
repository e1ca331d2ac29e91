#include "delay.h"

#include "platform.h"

namespace {

// A stall is for tens of microseconds; a longer wait with the processor kept
// is a loop of them.
const uint32_t LongestStallUs = 50;

}  // namespace

void DelayMs(uint32_t milliseconds)
{
    if (PlatformGetCurrentIrql() > PlatformPassiveLevel) {
        for (uint32_t left = milliseconds * 1000u; left > 0;) {
            uint32_t step = left < LongestStallUs ? left : LongestStallUs;
            PlatformStallMicroseconds(step);
            left -= step;
        }
    } else {
        PlatformDelayExecution(-10000 * static_cast<int64_t>(milliseconds));
    }
}
