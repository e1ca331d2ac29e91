#include "os_version.h"

int OsVersionCodeOf(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build)
{
    if (platformId == 1) {
        if (minor == 0) {
            uint32_t b = build & 0xFFFF;  // the 9x family keeps the version in the high word
            if (b < 1110)
                return 1000;
            return b < 1400 ? 1001 : 0;
        }
        return minor < 90 ? 1002 : 1003;
    }
    if (platformId == 2) {
        if (major < 3)
            return 0;
        if (major == 3)
            return 2000;
        if (major == 4)
            return 2001;
        return minor == 0 ? 2002 : 2003;
    }
    return 0;
}
