// Drives the request dispatcher with arbitrary codes, lengths and records on
// emulated machines (faults included) for a bounded time, and checks after
// every request what must always hold: the buffer was never overrun (run it
// under AddressSanitizer), the system status and byte count are possible
// ones, and the machine is as it was: card configuration and registers
// unchanged, processors released, windows unmapped, chips in read mode, no
// misuse of the platform.
//
//   dispatcher_fuzz [SECONDS [SEED]]
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

#include "driver_state.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "pelmix_ioctl.h"
#include "request_dispatch.h"

namespace {

const char* const Machines[] = {
    "cpus 2\n"
    "pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M\n"
    "pci 0:0a.0 id=1E5B:0A51 cmd=0005 bar0=0xE0000008/64M bar1=0xE4000000/8K rom=0xE4020000/128K flash=08BF\n"
    "pci 1:00.0 id=1D2E:0C62 agp bar0=0xE8000008/64M bar1=0xF3000000/16K flash=D4BF\n",

    "cpus 3 mask=0x7\n"
    "pci 0:01.0 id=1E5B:0A52 bar0=0xE0000008/128M bar1=0xE8000000/16K flash=D5BF\n"
    "pci 0:02.0 id=1D2E:0C61 cmd=0000 bar0=0xD0000008/64M bar1=0xD4000000/16K flash=351F\n"
    "fault slow 0:01.0 35\nfault stuck 0:02.0 0x1FF\n",

    "cpus 1\n"
    "pci 0:03.0 id=1E5B:0A51 bar0=0xC0000008/64M bar1=0xC4000000/8K flash=2320\n"
    "pci 0:04.0 id=1D2E:0C62 bar0=0xC8000008/64M bar1=0xCC000000/16K flash=noid\n",

    "cpus 2\npci 0:05.0 id=1E5B:0A52 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=9FDF\nfault cpu-timeout\n",
    "cpus 4\npci 0:05.0 id=1E5B:0A52 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=171F\nfault cpu-thread\n",
    "cpus 2\npci 0:05.0 id=1E5B:0A52 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=D5BF\nfault map-rom\n",
};

struct Location {
    uint32_t Bus, Device, Function;
};

uint64_t RandomState;
uint64_t PhasesOpened;  // requests that mapped the card's windows

uint32_t Random()
{
    RandomState ^= RandomState << 13;
    RandomState ^= RandomState >> 7;
    RandomState ^= RandomState << 17;
    return static_cast<uint32_t>(RandomState >> 11);
}

uint32_t Below(uint32_t limit)
{
    return limit ? Random() % limit : 0;
}

const uint32_t Codes[] = {
    IOCTL_PELMIX_ENUM_DEVICES,        IOCTL_PELMIX_READ_ROM,      IOCTL_PELMIX_WRITE_ROM,
    IOCTL_PELMIX_READ_PAGES,          IOCTL_PELMIX_WRITE_PAGES,   IOCTL_PELMIX_ERASE_CHIP,
    IOCTL_PELMIX_WRITE_ROM_PREERASED, IOCTL_PELMIX_IDENTIFY_CHIP, IOCTL_PELMIX_WRITE_PAGES_PREERASED,
};

uint32_t PickCode()
{
    uint32_t roll = Below(100);
    if (roll < 80)
        return Codes[Below(9)];
    if (roll < 90)
        return 0x222000u + Below(16) * 2;  // between and after the table
    return Random();
}

uint32_t PickLength()
{
    const uint32_t sizes[] = {0, 3, 4, 15, 16, 27, 63, 64, 155, 282, 283, 455, 456, 4096 + 27, 131087, 131088, 131089};
    uint32_t roll = Below(100);
    if (roll < 70)
        return sizes[Below(sizeof sizes / sizeof sizes[0])];
    if (roll < 90)
        return PELMIX_PAGE_BUFFER_LENGTH(Below(40)) + Below(3) - 1;
    return Below(140000);
}

struct Snapshot {
    std::vector<uint32_t> Values;
    bool operator==(const Snapshot& other) const { return Values == other.Values; }
};

const uint32_t ConfigOffsets[] = {0x04, 0x10, 0x14, 0x30};
const uint32_t CardOffsets[] = {0x00, 0x04, 0x08, 0x0C, 0x80, 0x147C, 0x1480};

Snapshot Take(const std::vector<Location>& cards)
{
    Snapshot snapshot;
    for (const Location& card : cards) {
        for (uint32_t offset : ConfigOffsets)
            snapshot.Values.push_back(EmuPeekConfig32(card.Bus, card.Device, card.Function, offset));
        for (uint32_t offset : CardOffsets) {
            uint32_t value = 0;
            EmuCardRegister(card.Bus, card.Device, card.Function, offset, &value);
            snapshot.Values.push_back(value);
        }
    }
    return snapshot;
}

std::vector<Location> CardsOf(const char* machine)
{
    std::vector<Location> cards;
    for (uint32_t bus = 0; bus < 2; ++bus)
        for (uint32_t device = 0; device < 32; ++device)
            if (EmuChipSize(bus, device, 0))
                cards.push_back({bus, device, 0});
    (void)machine;
    return cards;
}

int Fail(const char* what, uint32_t code, uint32_t in, uint32_t out, uint64_t iteration)
{
    fprintf(stderr, "dispatcher_fuzz: %s (request 0x%X, in %u, out %u, iteration %llu)\n", what, code, in, out,
            static_cast<unsigned long long>(iteration));
    return 0;
}

// One request; 0 when an invariant broke.
int OneRequest(const std::vector<Location>& cards, uint64_t iteration)
{
    uint32_t code = PickCode();
    uint32_t in = PickLength(), out = PickLength();
    if (Below(3) == 0)
        in = out;  // as the program sends them
    std::vector<uint8_t> buffer(in > out ? in : out);
    for (uint8_t& byte : buffer)
        byte = static_cast<uint8_t>(Random());
    if (buffer.size() >= 16 && !cards.empty() && Below(10) < 8) {
        const Location& target = cards[Below(static_cast<uint32_t>(cards.size()))];
        uint32_t header[4] = {Random(), target.Bus, target.Device, target.Function};
        memcpy(buffer.data(), header, sizeof header);
    }
    if (buffer.size() >= 24 && Below(2)) {
        uint32_t start = Below(4) ? Below(1024) * 128 : Random();
        uint32_t count = Below(4) ? Below(8) : Random();
        memcpy(buffer.data() + 16, &start, 4);
        memcpy(buffer.data() + 20, &count, 4);
    }

    Snapshot before = Take(cards);
    uint32_t mappingsBefore = HostMappingsMade();
    uint32_t information = 0xDEADBEEF;
    uint32_t status = DispatchDeviceControl(code, buffer.data(), in, out, &information);
    if (HostMappingsMade() - mappingsBefore >= 2)
        ++PhasesOpened;

    if (status != 0 && status != 0xC0000010u && status != 0xC0000206u)
        return Fail("impossible system status", code, in, out, iteration);
    if (status != 0 && information != 0)
        return Fail("bytes returned with a failed request", code, in, out, iteration);
    if (status == 0 && information > out)
        return Fail("more bytes returned than the output buffer holds", code, in, out, iteration);
    if (!(Take(cards) == before))
        return Fail("card configuration or registers changed", code, in, out, iteration);
    if (HostOpenMappings() != 0)
        return Fail("a window left mapped", code, in, out, iteration);
    if (HostCurrentIrql() != 0)
        return Fail("IRQL left raised", code, in, out, iteration);
    if (!HostWaitForHoldingThreads(10000))
        return Fail("a holding thread never left", code, in, out, iteration);
    for (const Location& card : cards) {
        if (!EmuChipIdle(card.Bus, card.Device, card.Function))
            return Fail("chip left outside read mode", code, in, out, iteration);
    }
    if (HostMisuseCount() != 0)
        return Fail(HostFirstMisuse(), code, in, out, iteration);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? atof(argv[1]) : 10.0;
    RandomState = argc > 2 ? strtoull(argv[2], nullptr, 0) : 0x9E3779B97F4A7C15ull;
    if (RandomState == 0)
        RandomState = 1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    uint64_t iteration = 0;
    const size_t machineCount = sizeof Machines / sizeof Machines[0];
    while (std::chrono::steady_clock::now() < deadline) {
        const char* machine = Machines[iteration / 25 % machineCount];
        if (iteration % 25 == 0) {
            char error[256];
            if (!EmuLoadMachine(machine, error, sizeof error)) {
                fprintf(stderr, "dispatcher_fuzz: %s\n", error);
                return 1;
            }
            HostResetPlatform();
            ResetDriverState();
            // Most requests should find their card: list the cards first.
            PELMIX_DEVICE_LIST list;
            uint32_t information = 0;
            if (Below(4) != 0)
                DispatchDeviceControl(IOCTL_PELMIX_ENUM_DEVICES, &list, 0, sizeof list, &information);
        }
        std::vector<Location> cards = CardsOf(machine);
        if (!OneRequest(cards, iteration))
            return 1;
        ++iteration;
    }
    printf("dispatcher_fuzz: %llu requests (%llu reached a card's windows), no finding\n",
           static_cast<unsigned long long>(iteration), static_cast<unsigned long long>(PhasesOpened));
    HostResetPlatform();
    return 0;
}
