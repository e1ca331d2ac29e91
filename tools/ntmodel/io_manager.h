// The I/O manager's side of one driver lifetime: DriverEntry with a driver
// object and registry path, opens (IRP_MJ_CREATE), METHOD_BUFFERED
// IRP_MJ_DEVICE_CONTROL requests, the close and DriverUnload, each followed by
// the checks of the rules that apply when it returns.
#ifndef NTMODEL_IO_MANAGER_H
#define NTMODEL_IO_MANAGER_H

#include <stdint.h>

// Runs DriverEntry; 1, or 0 with its status in *status.
int IoStartDriver(uint32_t* status);
// Opens the device by its user-mode name "\\.\PELMIX" plus the name below it
// (usually ""); 1 with the file, or 0 with the status.
int IoOpenDevice(const char* below, uint32_t* status);
// Sends one request on the open file: the first inLength bytes of buffer go
// in; on return the first *information bytes (at most outLength) hold the
// reply. Returns the status.
uint32_t IoDeviceControl(uint32_t code, uint8_t* buffer, uint32_t inLength, uint32_t outLength, uint32_t* information);
void IoCloseDevice();
// 1 if address lies in a system buffer IoCompleteRequest has given back to
// the I/O manager (its pages then allow no access); for the fault handler.
int IoGivenBackBuffer(const void* address);
// Runs DriverUnload and checks that nothing of the driver is left.
void IoUnloadDriver();

#endif
