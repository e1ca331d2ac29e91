// The operating-system code of the running system: 1000-1003 for the
// Windows 9x family, 2000-2003 for the NT family, 0 when not recognised.
// Only "below 2000 or not" decides anything.
#ifndef DORVANE_OS_VERSION_H
#define DORVANE_OS_VERSION_H

#include <stdint.h>

int OsVersionCodeOf(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build);

// Win32: from GetVersionExA; 0 when that fails.
int GetOsVersionCode();

#endif
