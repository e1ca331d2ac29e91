// The device-control request dispatcher: code and length checks, the
// operation, and the byte count that travels back.
#ifndef PELMIX_REQUEST_DISPATCH_H
#define PELMIX_REQUEST_DISPATCH_H

#include <stdint.h>

#define PELMIX_STATUS_SUCCESS                0x00000000u
#define PELMIX_STATUS_INVALID_DEVICE_REQUEST 0xC0000010u
#define PELMIX_STATUS_INVALID_BUFFER_SIZE    0xC0000206u

// Requests are served one at a time, in the order they arrive at the lock.
// buffer is the request's system buffer, max(inLength, outLength) bytes,
// holding the request and receiving the reply. Returns the NTSTATUS of the
// request and sets *information to the bytes that travel back.
uint32_t DispatchDeviceControl(uint32_t code, void* buffer, uint32_t inLength, uint32_t outLength,
                               uint32_t* information);

#endif
