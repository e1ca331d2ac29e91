#include "driver_harness.h"

#include <gtest/gtest.h>

#include "driver_state.h"
#include "pci_machine.h"
#include "request_dispatch.h"

void LoadMachine(const std::string& text)
{
    char error[256] = {};
    ASSERT_EQ(EmuLoadMachine(text.c_str(), error, sizeof error), 1) << error;
    ResetDriverState();
}

void SwapMachine(const std::string& text)
{
    char error[256] = {};
    ASSERT_EQ(EmuLoadMachine(text.c_str(), error, sizeof error), 1) << error;
}

RequestReply SendRequest(uint32_t code, void* buffer, uint32_t inLength, uint32_t outLength)
{
    RequestReply reply = {0, 0xDEADBEEF};
    reply.SystemStatus = DispatchDeviceControl(code, buffer, inLength, outLength, &reply.Information);
    return reply;
}

RequestReply Enumerate(PELMIX_DEVICE_LIST* list)
{
    *list = PELMIX_DEVICE_LIST();
    return SendRequest(IOCTL_PELMIX_ENUM_DEVICES, list, 0, sizeof *list);
}

PELMIX_REQUEST_HEADER Target(uint32_t bus, uint32_t device, uint32_t function)
{
    PELMIX_REQUEST_HEADER header = {0xFFFFFFFFu, bus, device, function};
    return header;
}
