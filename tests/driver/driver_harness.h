// Helpers for driving the driver logic on the emulated machine: load a
// machine, start a fresh driver lifetime, send requests.
#ifndef PELMIX_TESTS_DRIVER_HARNESS_H
#define PELMIX_TESTS_DRIVER_HARNESS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "pelmix_ioctl.h"

struct RequestReply {
    uint32_t SystemStatus;
    uint32_t Information;
};

// Loads the machine described by text (fails the test on a parse error) and
// gives the driver a fresh load.
void LoadMachine(const std::string& text);

// Replaces the machine under a driver that stays loaded (its card table
// and relocation address remain those of its last scan).
void SwapMachine(const std::string& text);

// Sends one request through the dispatcher. The buffer is the system buffer,
// at least max(in, out) bytes.
RequestReply SendRequest(uint32_t code, void* buffer, uint32_t inLength, uint32_t outLength);

// Enumerates into list and returns the dispatcher's reply.
RequestReply Enumerate(PELMIX_DEVICE_LIST* list);

// A request header aimed at bus:device.function.
PELMIX_REQUEST_HEADER Target(uint32_t bus, uint32_t device, uint32_t function);

#endif
