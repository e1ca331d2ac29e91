// Codes, length checks and byte counts of the request dispatcher.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "driver_harness.h"
#include "request_dispatch.h"

namespace {

const char* const OneCard = "pci 1:00.0 id=1D2E:0C61 bar0=0xD0000000/64M bar1=0xD4000000/16K\n";

struct DispatcherTest : ::testing::Test {
    std::vector<uint8_t> buffer = std::vector<uint8_t>(sizeof(PELMIX_ROM_TRANSFER) + 64, 0xA5);

    void SetUp() override { LoadMachine(OneCard); }

    bool Untouched() const
    {
        for (uint8_t byte : buffer)
            if (byte != 0xA5)
                return false;
        return true;
    }
    void SetPageCount(uint32_t count)
    {
        const uint32_t startOffset = 0;
        memcpy(&buffer[16], &startOffset, 4);
        memcpy(&buffer[20], &count, 4);
    }
    uint32_t Status() const
    {
        uint32_t status;
        memcpy(&status, buffer.data(), 4);
        return status;
    }
};

TEST_F(DispatcherTest, CodesOutsideTheTableAreInvalidRequests)
{
    const uint32_t codes[] = {0, 0x221FFC, 0x222001, 0x222002, 0x222024, 0x222028, 0x22E000};
    for (uint32_t code : codes) {
        RequestReply reply = SendRequest(code, buffer.data(), 131088, 131088);
        EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_INVALID_DEVICE_REQUEST) << std::hex << code;
        EXPECT_EQ(reply.Information, 0u);
    }
    EXPECT_TRUE(Untouched());
}

struct LengthCase {
    uint32_t Code;
    uint32_t In;  // the smallest lengths that pass
    uint32_t Out;
    bool InChecked;
    bool OutChecked;
};

// With PageCount 2 in the record, so the page requests need 283 bytes.
const LengthCase LengthCases[] = {
    {IOCTL_PELMIX_ENUM_DEVICES, 0, 456, false, true},
    {IOCTL_PELMIX_READ_ROM, 16, 131088, true, true},
    {IOCTL_PELMIX_WRITE_ROM, 131088, 4, true, true},
    {IOCTL_PELMIX_READ_PAGES, 27, 283, true, true},
    {IOCTL_PELMIX_WRITE_PAGES, 283, 4, true, true},
    {IOCTL_PELMIX_ERASE_CHIP, 16, 4, true, true},
    {IOCTL_PELMIX_WRITE_ROM_PREERASED, 131088, 4, true, true},
    {IOCTL_PELMIX_IDENTIFY_CHIP, 0, 64, false, true},
    {IOCTL_PELMIX_WRITE_PAGES_PREERASED, 283, 4, true, true},
};

TEST_F(DispatcherTest, EveryLengthBoundaryOfEveryCode)
{
    for (const LengthCase& c : LengthCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.Code);
        if (c.OutChecked) {
            std::fill(buffer.begin(), buffer.end(), 0xA5);
            SetPageCount(2);
            RequestReply reply = SendRequest(c.Code, buffer.data(), c.In, c.Out - 1);
            EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_INVALID_BUFFER_SIZE);
            EXPECT_EQ(reply.Information, 0u);
            EXPECT_EQ(Status(), 0xA5A5A5A5u) << "record changed by a refused request";
        }
        if (c.InChecked) {
            std::fill(buffer.begin(), buffer.end(), 0xA5);
            SetPageCount(2);
            RequestReply reply = SendRequest(c.Code, buffer.data(), c.In - 1, c.Out);
            EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_INVALID_BUFFER_SIZE);
            EXPECT_EQ(reply.Information, 0u);
        }
        // Before any enumeration every chip request passes its checks and
        // answers result 2 with only Status travelling back.
        LoadMachine(OneCard);
        std::fill(buffer.begin(), buffer.end(), 0xA5);
        SetPageCount(2);
        RequestReply reply = SendRequest(c.Code, buffer.data(), c.In, c.Out);
        EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_SUCCESS);
        if (c.Code == IOCTL_PELMIX_ENUM_DEVICES) {
            EXPECT_EQ(reply.Information, 456u);
            EXPECT_EQ(Status(), PELMIX_RESULT_OK);
        } else {
            EXPECT_EQ(reply.Information, 4u);
            EXPECT_EQ(Status(), PELMIX_RESULT_NO_CARD);
        }
    }
}

TEST_F(DispatcherTest, PageCountsThatWouldWrapAreRefused)
{
    // 128 * 0x02000000 is 2^32: a 32-bit product would wrap to 0 and pass.
    const uint32_t counts[] = {0x02000000u, 0x02000001u, 0x01FFFFFFu, 0xFFFFFFFFu, 0x80000000u};
    const uint32_t codes[] = {IOCTL_PELMIX_READ_PAGES, IOCTL_PELMIX_WRITE_PAGES, IOCTL_PELMIX_WRITE_PAGES_PREERASED};
    for (uint32_t code : codes) {
        for (uint32_t count : counts) {
            std::fill(buffer.begin(), buffer.end(), 0xA5);
            SetPageCount(count);
            RequestReply reply = SendRequest(code, buffer.data(), 131088, 131088);
            EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_INVALID_BUFFER_SIZE) << std::hex << code << " count " << count;
            EXPECT_EQ(reply.Information, 0u);
        }
    }
    // The largest count the buffer holds passes its checks.
    SetPageCount((131088 - 27) / 128);
    EXPECT_EQ(SendRequest(IOCTL_PELMIX_READ_PAGES, buffer.data(), 131088, 131088).SystemStatus, PELMIX_STATUS_SUCCESS);
}

TEST_F(DispatcherTest, ZeroPagesNeedTwentySevenBytes)
{
    SetPageCount(0);
    EXPECT_EQ(SendRequest(IOCTL_PELMIX_READ_PAGES, buffer.data(), 27, 26).SystemStatus,
              PELMIX_STATUS_INVALID_BUFFER_SIZE);
    EXPECT_EQ(SendRequest(IOCTL_PELMIX_WRITE_PAGES, buffer.data(), 26, 26).SystemStatus,
              PELMIX_STATUS_INVALID_BUFFER_SIZE);
    EXPECT_EQ(SendRequest(IOCTL_PELMIX_READ_PAGES, buffer.data(), 27, 27).SystemStatus, PELMIX_STATUS_SUCCESS);
}

TEST_F(DispatcherTest, EnumerationReplyLengths)
{
    PELMIX_DEVICE_LIST list;
    RequestReply reply = Enumerate(&list);
    EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_SUCCESS);
    EXPECT_EQ(reply.Information, 456u);
    EXPECT_EQ(list.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(list.Count, 1u);

    LoadMachine("");
    reply = Enumerate(&list);
    EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_SUCCESS);
    EXPECT_EQ(reply.Information, 4u);
    EXPECT_EQ(list.Status, PELMIX_RESULT_NO_CARD);
    EXPECT_EQ(list.Count, 0u);
}

TEST_F(DispatcherTest, ChipRequestsFindTheirTargetInTheLastScan)
{
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    PELMIX_REQUEST_HEADER header = Target(1, 0, 1);
    RequestReply reply = SendRequest(IOCTL_PELMIX_ERASE_CHIP, &header, sizeof header, sizeof header);
    EXPECT_EQ(reply.SystemStatus, PELMIX_STATUS_SUCCESS);
    EXPECT_EQ(reply.Information, 4u);
    EXPECT_EQ(header.Status, PELMIX_RESULT_NOT_LISTED);

    // A later scan that finds nothing empties the table.
    SwapMachine("");
    Enumerate(&list);
    header = Target(1, 0, 0);
    SendRequest(IOCTL_PELMIX_ERASE_CHIP, &header, sizeof header, sizeof header);
    EXPECT_EQ(header.Status, PELMIX_RESULT_NO_CARD);
}

}  // namespace
