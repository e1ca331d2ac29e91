// No reply carries stale kernel memory: the system buffer past the input holds
// what NT's I/O manager would leave there, and no request of any code, at any
// length that passes its checks, with any result, sends a byte of it back.
#include <set>

#include "chip_test_support.h"
#include "request_dispatch.h"
#include "stale_pool.h"

namespace {

using namespace chiptest;

const uint32_t RomLength = sizeof(PELMIX_ROM_TRANSFER);
const uint32_t Pages2 = PELMIX_PAGE_BUFFER_LENGTH(2);

struct StaleCase {
    const char* Name;
    std::string Machine;
    uint32_t Code;
    uint32_t In;
    uint32_t Out;
    uint32_t StartOffset;  // page requests
    uint32_t PageCount;
};

std::string Card(const std::string& flash, const std::string& extra = "")
{
    return CardMachine(2, flash, "", extra);
}

std::string NineCards()
{
    std::string text = "cpus 2\n";
    for (int i = 0; i < 9; ++i)
        text += "pci 0:0" + std::to_string(i + 1) + ".0 id=1E5B:0A51\n";
    return text;
}

std::vector<StaleCase> Cases()
{
    const std::string page = Card("08BF"), erase = Card("D5BF"), small = Card("D4BF");
    return {
        {"enum, no input", page, IOCTL_PELMIX_ENUM_DEVICES, 0, 456, 0, 0},
        {"enum, larger output", page, IOCTL_PELMIX_ENUM_DEVICES, 4, 600, 0, 0},
        {"enum, nine cards", NineCards(), IOCTL_PELMIX_ENUM_DEVICES, 0, 456, 0, 0},
        {"enum, no card", "cpus 2\n", IOCTL_PELMIX_ENUM_DEVICES, 0, 456, 0, 0},
        {"identify, no input", page, IOCTL_PELMIX_IDENTIFY_CHIP, 0, 64, 0, 0},
        {"identify, no function", page, IOCTL_PELMIX_IDENTIFY_CHIP, 12, 64, 0, 0},
        {"identify, header only", page, IOCTL_PELMIX_IDENTIFY_CHIP, 16, 64, 0, 0},
        {"identify, larger output", page, IOCTL_PELMIX_IDENTIFY_CHIP, 16, 100, 0, 0},
        {"identify, silent chip", Card("noid"), IOCTL_PELMIX_IDENTIFY_CHIP, 64, 64, 0, 0},
        {"read, header only", page, IOCTL_PELMIX_READ_ROM, 16, RomLength, 0, 0},
        {"read, 64-KB chip", small, IOCTL_PELMIX_READ_ROM, 16, RomLength + 8, 0, 0},
        {"read, register window unmapped", Card("08BF", "fault map-register\n"), IOCTL_PELMIX_READ_ROM, 16, RomLength,
         0, 0},
        {"read, ROM window unmapped", Card("08BF", "fault map-rom\n"), IOCTL_PELMIX_READ_ROM, 16, RomLength, 0, 0},
        {"read, processor query fails", Card("08BF", "fault cpu-query\n"), IOCTL_PELMIX_READ_ROM, 16, RomLength, 0, 0},
        {"read, no holding thread", Card("08BF", "fault cpu-thread\n"), IOCTL_PELMIX_READ_ROM, 16, RomLength, 0, 0},
        {"read, hold times out", Card("08BF", "fault cpu-timeout\n"), IOCTL_PELMIX_READ_ROM, 16, RomLength, 0, 0},
        {"write", erase, IOCTL_PELMIX_WRITE_ROM, RomLength, 4, 0, 0},
        {"write, stuck byte", Card("D5BF", "fault stuck 1:00.0 0x100\n"), IOCTL_PELMIX_WRITE_ROM, RomLength, RomLength,
         0, 0},
        {"write pre-erased", page, IOCTL_PELMIX_WRITE_ROM_PREERASED, RomLength, RomLength + 4, 0, 0},
        {"read pages", page, IOCTL_PELMIX_READ_PAGES, 27, Pages2, 256, 2},
        {"read pages, larger output", page, IOCTL_PELMIX_READ_PAGES, 27, Pages2 + 100, 256, 2},
        {"read no pages", page, IOCTL_PELMIX_READ_PAGES, 27, 27, 0, 0},
        {"read pages, unaligned", page, IOCTL_PELMIX_READ_PAGES, 27, Pages2, 64, 2},
        {"read pages, beyond the chip", small, IOCTL_PELMIX_READ_PAGES, 27, Pages2, 0x10000 - 128, 2},
        {"write pages", page, IOCTL_PELMIX_WRITE_PAGES, Pages2, Pages2 + 64, 0, 2},
        {"write pages, erase required", erase, IOCTL_PELMIX_WRITE_PAGES, Pages2, Pages2, 0, 2},
        {"write pages pre-erased", erase, IOCTL_PELMIX_WRITE_PAGES_PREERASED, Pages2, 4, 128, 2},
        {"erase", erase, IOCTL_PELMIX_ERASE_CHIP, 16, 4, 0, 0},
        {"erase, larger output", page, IOCTL_PELMIX_ERASE_CHIP, 16, 200, 0, 0},
    };
}

// A fresh driver on the machine, enumerated whatever the scan finds.
void EnumeratedOn(const std::string& machine)
{
    HostResetPlatform();
    LoadMachine(machine);
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
}

// The request as the caller sends it: a header aimed at the card, the page
// fields, and data bytes that never form a run of the stale pattern.
std::vector<uint8_t> RequestBytes(const StaleCase& c)
{
    std::vector<uint8_t> request(RomLength + 512, 0);
    for (uint32_t i = 0; i < request.size(); ++i)
        request[i] = PatternByte(i);
    PELMIX_PAGE_TRANSFER* record = reinterpret_cast<PELMIX_PAGE_TRANSFER*>(request.data());
    record->Header = CardHeader();
    record->StartOffset = c.StartOffset;
    record->PageCount = c.PageCount;
    return request;
}

TEST(StaleSystemBuffer, NoReplyCarriesMemoryTheRequestDidNotWrite)
{
    std::set<uint32_t> results;
    for (const StaleCase& c : Cases()) {
        SCOPED_TRACE(c.Name);
        EnumeratedOn(c.Machine);
        std::vector<uint8_t> request = RequestBytes(c);
        uint32_t size = c.In > c.Out ? c.In : c.Out;
        std::vector<uint8_t> system(request.begin(), request.begin() + size);
        EmuFillStalePool(system.data(), c.In, size);

        RequestReply reply = SendRequest(c.Code, system.data(), c.In, c.Out);
        ASSERT_EQ(reply.SystemStatus, 0u);
        ASSERT_LE(reply.Information, c.Out);
        uint32_t status;
        memcpy(&status, system.data(), 4);
        results.insert(status);
        EXPECT_EQ(EmuFindStaleRun(system.data(), reply.Information, c.In), -1)
            << "Status " << status << ", " << reply.Information << " bytes back";
        HostResetPlatform();
    }
    // Every result the driver gives has been seen.
    for (uint32_t result :
         {PELMIX_RESULT_OK, PELMIX_RESULT_TOO_MANY_CARDS, PELMIX_RESULT_NO_CARD, PELMIX_RESULT_NOT_LISTED,
          PELMIX_RESULT_MAP_REGISTERS, PELMIX_RESULT_MAP_ROM, PELMIX_RESULT_PROGRAM_TIMEOUT, PELMIX_RESULT_CPU_QUERY,
          PELMIX_RESULT_THREAD_CREATE, PELMIX_RESULT_HOLD_TIMEOUT, PELMIX_RESULT_BAD_START_OFFSET,
          PELMIX_RESULT_BEYOND_CHIP, PELMIX_RESULT_ERASE_REQUIRED, PELMIX_RESULT_UNKNOWN_CHIP})
        EXPECT_EQ(results.count(result), 1u) << "no case gave Status " << result;
}

TEST(StaleSystemBuffer, AShortInputReadsNoTarget)
{
    // The target sits in the stale part: it is not read, so no card is found.
    StartOn(Card("08BF"));
    PELMIX_CHIP_INFO info;
    memset(&info, 0, sizeof info);
    info.Header = CardHeader();
    RequestReply reply = SendRequest(IOCTL_PELMIX_IDENTIFY_CHIP, &info, 4, sizeof info);
    EXPECT_EQ(reply.Information, 4u);
    EXPECT_EQ(info.Header.Status, PELMIX_RESULT_NOT_LISTED);
}

TEST(StaleSystemBuffer, ARefusedLengthLeavesTheBufferAlone)
{
    StartOn(Card("08BF"));
    std::vector<uint8_t> system(64);
    EmuFillStalePool(system.data(), 0, 64);
    std::vector<uint8_t> before = system;
    RequestReply reply = SendRequest(IOCTL_PELMIX_IDENTIFY_CHIP, system.data(), 0, 63);
    EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_INVALID_BUFFER_SIZE);
    EXPECT_EQ(system, before);
}

}  // namespace
