#include "emulated_card.h"

#include <gtest/gtest.h>
#include <string.h>

#include "driver_state.h"
#include "fake_host.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "request_dispatch.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

const uint32_t CardBus = 1, CardDevice = 0, CardFunction = 0;

int (*FakeRequest)(uint32_t, void*, uint32_t, uint32_t*);
RequestFault Fault;
std::vector<uint32_t> Sent;

// DeviceIoControl with buffered I/O: the input copied into a system buffer,
// the reply's bytes copied back.
int DriverRequest(uint32_t code, void* record, uint32_t length, uint32_t* returned)
{
    Sent.push_back(code);
    std::vector<uint8_t> system(length ? length : 1, 0);
    memcpy(system.data(), record, length);
    uint32_t information = 0;
    uint32_t status = DispatchDeviceControl(code, system.data(), length, length, &information);
    uint32_t back = information < length ? information : length;
    memcpy(record, system.data(), back);
    *returned = status == 0 ? information : 0;
    int ok = status == 0;
    return Fault ? Fault(code, record, ok) : ok;
}

}  // namespace

void StartEmulatedCard(const char* flash, const uint8_t* image, uint32_t size, const std::string& extraLines,
                       RequestFault fault)
{
    std::string machine = std::string("cpus 2\npci 1:00.0 id=1E5B:0A51 bar0=0xD0000000/64M bar1=0xD4000000/8K "
                                      "rom=0xD5000000/128K flash=") +
        flash + "\n" + extraLines;
    HostResetPlatform();
    char error[256] = "";
    ASSERT_EQ(EmuLoadMachine(machine.c_str(), error, sizeof error), 1) << error;
    ResetDriverState();
    ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, image, size), 1);

    if (!FakeRequest)
        FakeRequest = FakeHost.Request;
    FakeHost.Request = DriverRequest;
    Fault = 0;
    Sent.clear();
    uint32_t returned = 0;
    PELMIX_DEVICE_LIST& list = TheWizard.DeviceList;
    memset(&list, 0, sizeof list);
    ASSERT_TRUE(DriverRequest(IOCTL_PELMIX_ENUM_DEVICES, &list, sizeof list, &returned));
    ASSERT_EQ(list.Count, 1u);
    TheWizard.SelectedDevice = 0;
    Sent.clear();
    Fault = fault;
}

void StopEmulatedCard()
{
    if (FakeRequest)
        FakeHost.Request = FakeRequest;
    Fault = 0;
    HostResetPlatform();  // joins the holding threads of the last hold
}

std::vector<uint8_t> ChipBytes()
{
    std::vector<uint8_t> bytes(EmuChipSize(CardBus, CardDevice, CardFunction));
    EmuChipPeek(CardBus, CardDevice, CardFunction, 0, bytes.data(), uint32_t(bytes.size()));
    return bytes;
}

void PokeChip(uint32_t offset, uint8_t value)
{
    EmuChipPoke(CardBus, CardDevice, CardFunction, offset, &value, 1);
}

const std::vector<uint32_t>& EmulatedRequests()
{
    return Sent;
}
