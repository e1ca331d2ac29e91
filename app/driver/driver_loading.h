// Loading the driver for one run: on the NT family the kernel service
// "Pelmix" is installed, started and its device opened; on Windows 9x the
// virtual device driver file is opened. DriverHandle carries every request.
#ifndef DORVANE_DRIVER_LOADING_H
#define DORVANE_DRIVER_LOADING_H

#include <windows.h>

enum { WorkDirSize = 261 };

extern char WorkDir[WorkDirSize];       // current working folder, ending in a backslash
extern char WorkDirShort[WorkDirSize];  // its short form (Windows 9x device path)
extern HANDLE DriverHandle;             // INVALID_HANDLE_VALUE until opened
extern int DriverOpen;

// 1 when the driver is open; 0 after the user has been told why not.
int StartDriver(HWND owner);
int OpenDriver(HWND owner);
// Closes the device and, on the NT family, stops and removes the service.
void StopDriver();

#endif
