// Benchmark, not a test: for every flash part and request, the virtual time
// the processors were held against the least the driver's waits impose, and
// the wall time the emulator spent; then the sizes of the shipped files.
//
//   emu_benchmark
//
// Least held time of a request on a family-2 card (access set B):
//   phase        67 + 67 ms to prepare, 67 ms to restore
//   identify     20 ms + the part's exit wait
//   page write   byte parts 128 x 20 us; page parts one poll of ProgramWaitMs / 6
//   chip erase   EraseWaitMs
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <vector>

#include "driver_state.h"
#include "flash_chip_table.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "pelmix_ioctl.h"
#include "request_dispatch.h"

namespace {

struct Part {
    const char* Key;
    uint32_t Size;
    int PageMethod;
    int EraseFirst;
    uint32_t ExitWaitUs;
    uint32_t EraseWaitUs;
    uint32_t PollUs;  // ProgramWaitMs / 6
};

const Part Parts[] = {
    {"351F", 0x20000, 1, 0, 20000, 20000, 3000},  {"171F", 0x20000, 0, 0, 20000, 20000, 0},
    {"2320", 0x20000, 0, 0, 1000, 1500000, 0},    {"D4BF", 0x10000, 0, 1, 10000, 100000, 0},
    {"D5BF", 0x20000, 0, 1, 10000, 100000, 0},    {"9FDF", 0x20000, 0, 0, 10000, 100000, 0},
    {"08BF", 0x20000, 1, 0, 10000, 100000, 1000}, {"noid", 0x20000, 1, 0, 10000, 100000, 1000},
};

const uint64_t PhaseUs = CardSettlesPerPhase * CardSettleMs * 1000;
const uint32_t BenchPages = 8;

struct Measure {
    uint32_t Status;
    uint64_t HeldUs;
    uint64_t ElapsedUs;
    double WallMs;
};

Measure Send(uint32_t code, std::vector<uint8_t>& buffer)
{
    uint64_t start = HostVirtualTimeUs();
    uint64_t held = HostHeldTimeUs();
    auto wall = std::chrono::steady_clock::now();
    uint32_t information = 0;
    uint32_t length = static_cast<uint32_t>(buffer.size());
    DispatchDeviceControl(code, buffer.data(), length, length, &information);
    Measure measure;
    measure.WallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
    measure.ElapsedUs = HostVirtualTimeUs() - start;
    measure.HeldUs = HostHeldTimeUs() - held;
    memcpy(&measure.Status, buffer.data(), 4);
    return measure;
}

std::vector<uint8_t> Record(uint32_t length)
{
    std::vector<uint8_t> buffer(length, 0);
    const uint32_t header[4] = {0, 1, 0, 0};  // card at 1:00.0
    memcpy(buffer.data(), header, sizeof header);
    return buffer;
}

uint64_t PageUs(const Part& part)
{
    return part.PageMethod ? part.PollUs : PELMIX_PAGE_SIZE * ByteFirstLookUs;
}

void Report(const Part& part, const char* request, const Measure& measure, uint64_t leastHeldUs)
{
    printf("%-5s %-22s %6u %12.1f %12.1f %7.2f %12.1f %9.1f\n", part.Key, request, measure.Status,
           measure.HeldUs / 1000.0, leastHeldUs / 1000.0,
           leastHeldUs ? static_cast<double>(measure.HeldUs) / leastHeldUs : 0.0, measure.ElapsedUs / 1000.0,
           measure.WallMs);
}

// The shipped (stripped) files, whose size is what a user downloads; the
// folder is the cross build's, named by the build.
void ReportShippedSizes()
{
#ifdef PELMIX_SHIPPED_DIR
    const char* const files[] = {"Pelmix.sys", "Dorvane.exe"};
    printf("\n%-12s %9s\n", "shipped", "bytes");
    for (const char* name : files) {
        char path[1024];
        snprintf(path, sizeof path, "%s/%s", PELMIX_SHIPPED_DIR, name);
        FILE* file = fopen(path, "rb");
        long size = -1;
        if (file && fseek(file, 0, SEEK_END) == 0)
            size = ftell(file);
        if (file)
            fclose(file);
        if (size < 0)
            printf("%-12s %9s\n", name, "not built");
        else
            printf("%-12s %9ld\n", name, size);
    }
#endif
}

}  // namespace

int main()
{
    printf("%-5s %-22s %6s %12s %12s %7s %12s %9s\n", "part", "request", "Status", "held ms", "least ms", "ratio",
           "elapsed ms", "wall ms");
    for (const Part& part : Parts) {
        char machine[512];
        snprintf(machine, sizeof machine,
                 "cpus 2\npci 0:00.0 id=8086:7190 class=0600\n"
                 "pci 1:00.0 id=1E5B:0A52 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=%s\n",
                 part.Key);
        char error[256];
        if (!EmuLoadMachine(machine, error, sizeof error)) {
            fprintf(stderr, "emu_benchmark: %s\n", error);
            return 1;
        }
        HostResetPlatform();
        ResetDriverState();
        PELMIX_DEVICE_LIST list;
        uint32_t information = 0;
        DispatchDeviceControl(IOCTL_PELMIX_ENUM_DEVICES, &list, sizeof list, sizeof list, &information);

        const uint64_t identify = ChipIdentifyWaitMs * 1000 + part.ExitWaitUs;
        const uint64_t pages = part.Size / 128;
        std::vector<uint8_t> info = Record(sizeof(PELMIX_CHIP_INFO));
        Report(part, "IDENTIFY_CHIP", Send(IOCTL_PELMIX_IDENTIFY_CHIP, info), PhaseUs + identify);

        std::vector<uint8_t> rom = Record(sizeof(PELMIX_ROM_TRANSFER));
        for (uint32_t i = 16; i < rom.size(); ++i)
            rom[i] = static_cast<uint8_t>(i * 13);
        Report(part, "WRITE_ROM", Send(IOCTL_PELMIX_WRITE_ROM, rom),
               PhaseUs + identify + (part.EraseFirst ? part.EraseWaitUs : 0) + pages * PageUs(part));

        rom = Record(sizeof(PELMIX_ROM_TRANSFER));
        Report(part, "READ_ROM", Send(IOCTL_PELMIX_READ_ROM, rom), PhaseUs + identify);

        std::vector<uint8_t> header = Record(sizeof(PELMIX_REQUEST_HEADER));
        Report(part, "ERASE_CHIP", Send(IOCTL_PELMIX_ERASE_CHIP, header), PhaseUs + identify + part.EraseWaitUs);

        std::vector<uint8_t> page = Record(PELMIX_PAGE_BUFFER_LENGTH(BenchPages));
        const uint32_t pageFields[2] = {0x1000, BenchPages};
        memcpy(page.data() + 16, pageFields, sizeof pageFields);
        Report(part, "WRITE_PAGES_PREERASED", Send(IOCTL_PELMIX_WRITE_PAGES_PREERASED, page),
               PhaseUs + identify + BenchPages * PageUs(part));

        rom = Record(sizeof(PELMIX_ROM_TRANSFER));
        Report(part, "WRITE_ROM_PREERASED", Send(IOCTL_PELMIX_WRITE_ROM_PREERASED, rom),
               PhaseUs + identify + pages * PageUs(part));
    }
    HostResetPlatform();
    ReportShippedSizes();
    return 0;
}
