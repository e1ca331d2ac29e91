// The chip requests on every emulated flash part: identification, whole-chip
// and page transfers, erase, the programming methods and their time-outs.
#include <algorithm>

#include "chip_test_support.h"

namespace {

using namespace chiptest;

using ChipRequests = ChipTest;

struct ChipCase {
    const char* Flash;
    uint32_t Size;
    bool PageMethod;
    bool EraseFirst;  // WRITE_ROM erases the chip before programming
    uint32_t ExitWaitUs;
};

const ChipCase ChipCases[] = {
    {"351F", 0x20000, true, false, 20000}, {"171F", 0x20000, false, false, 20000},
    {"2320", 0x20000, false, false, 1000}, {"D4BF", 0x10000, false, true, 10000},
    {"D5BF", 0x20000, false, true, 10000}, {"9FDF", 0x20000, false, false, 10000},
    {"08BF", 0x20000, true, false, 10000}, {"noid", 0x20000, true, false, 10000},
};

std::vector<uint8_t> Pattern(uint32_t size)
{
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = PatternByte(i);
    return bytes;
}

// A chip that is not erased: programming without an erase cannot set its bits.
void DirtyChip()
{
    FillChip(0x00);
    std::vector<uint8_t> signature = {0x55, 0xAA};
    ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, signature.data(), 2), 1);
}

TEST_F(ChipRequests, WholeChipWriteAndReadBackOnEveryPart)
{
    for (const ChipCase& chip : ChipCases) {
        SCOPED_TRACE(chip.Flash);
        StartOn(CardMachine(3, chip.Flash));
        DirtyChip();
        CardSnapshot before = TakeSnapshot();

        RomRequest write;
        std::vector<uint8_t> pattern = Pattern(0x20000);
        memcpy(write.Record()->Data, pattern.data(), pattern.size());
        RequestReply reply = SendRom(IOCTL_PELMIX_WRITE_ROM, &write);
        EXPECT_EQ(write.Record()->Header.Status, PELMIX_RESULT_OK);
        EXPECT_EQ(reply.Information, 4u);
        EXPECT_EQ(EmuChipCommandTotal(EmuCommandChipErase), chip.EraseFirst ? 1u : 0u);
        EXPECT_EQ(EmuChipCommandTotal(EmuCommandPage), chip.PageMethod ? chip.Size / 128 : 0u);
        EXPECT_EQ(EmuChipCommandTotal(EmuCommandProgram), chip.PageMethod ? 0u : chip.Size);
        // A 64-KB part takes only the first 64 KB of the record.
        EXPECT_TRUE(ChipBytes(0, chip.Size) == std::vector<uint8_t>(pattern.begin(), pattern.begin() + chip.Size));

        RomRequest read;
        memset(read.Record()->Data, 0xEE, sizeof read.Record()->Data);
        reply = SendRom(IOCTL_PELMIX_READ_ROM, &read);
        EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
        EXPECT_EQ(reply.Information, 16 + chip.Size);
        EXPECT_EQ(memcmp(read.Record()->Data, pattern.data(), chip.Size), 0);
        ExpectLeftAsFound(before);
    }
}

// With the processors held, a wait of milliseconds is a loop of stalls of at
// most 50 us (the kernel's stall is for tens of microseconds), and each wait
// still lasts as long as the chip needs.
TEST_F(ChipRequests, EveryBusyWaitIsALoopOfShortStalls)
{
    for (const char* flash : {"2320", "D5BF"}) {
        SCOPED_TRACE(flash);
        StartOn(CardMachine(2, flash));
        DirtyChip();
        RomRequest write;
        std::vector<uint8_t> pattern = Pattern(0x20000);
        memcpy(write.Record()->Data, pattern.data(), pattern.size());
        SendRom(IOCTL_PELMIX_WRITE_ROM, &write);
        EXPECT_EQ(write.Record()->Header.Status, PELMIX_RESULT_OK);
        uint64_t stalled = 0;
        int64_t longest = 0;
        uint32_t waits = 0;
        for (const HostDelay& delay : Delays()) {
            if (delay.Kind != HostDelayStall)
                continue;
            stalled += delay.Amount;
            longest = delay.Longest > longest ? delay.Longest : longest;
            waits += delay.Amount >= 1000 ? 1 : 0;
        }
        EXPECT_LE(longest, 50);
        EXPECT_GT(waits, 3u) << "settle, identification and erase waits";
        EXPECT_EQ(HostHeldTimeUs(), stalled);
    }
}

TEST_F(ChipRequests, PreErasedWholeChipWriteDoesNotErase)
{
    StartOn(CardMachine(2, "D5BF"));
    RomRequest write;
    std::vector<uint8_t> pattern = Pattern(0x20000);
    memcpy(write.Record()->Data, pattern.data(), pattern.size());
    SendRom(IOCTL_PELMIX_WRITE_ROM_PREERASED, &write);
    EXPECT_EQ(write.Record()->Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandChipErase), 0u);
    EXPECT_TRUE(ChipBytes(0, 0x20000) == pattern);

    // On a chip that was not erased the first byte cannot read back.
    DirtyChip();
    SendRom(IOCTL_PELMIX_WRITE_ROM_PREERASED, &write);
    EXPECT_EQ(write.Record()->Header.Status, PELMIX_RESULT_PROGRAM_TIMEOUT);
}

TEST_F(ChipRequests, PageWritesOnPartsThatNeedAnEraseNeedThePreErasedRequest)
{
    StartOn(CardMachine(4, "D4BF"));
    CardSnapshot before = TakeSnapshot();
    PageRequest pages(0x1000, 2);
    for (uint32_t i = 0; i < 256; ++i)
        pages.Page(0)[i] = PatternByte(i);
    SendPages(IOCTL_PELMIX_WRITE_PAGES, &pages);
    EXPECT_EQ(pages.Status(), PELMIX_RESULT_ERASE_REQUIRED);
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandProgram), 0u);
    ExpectLeftAsFound(before);

    SendPages(IOCTL_PELMIX_WRITE_PAGES_PREERASED, &pages);
    EXPECT_EQ(pages.Status(), PELMIX_RESULT_OK);
    std::vector<uint8_t> written = ChipBytes(0xF80, 0x200);
    for (uint32_t i = 0; i < 0x200; ++i) {
        uint8_t expected = i >= 0x80 && i < 0x180 ? PatternByte(i - 0x80) : 0xFF;
        ASSERT_EQ(written[i], expected) << "chip offset 0x" << std::hex << 0xF80 + i;
    }
    ExpectLeftAsFound(before);
}

TEST_F(ChipRequests, IdentificationOfEveryPart)
{
    const struct {
        const char* Flash;
        uint32_t Status, ChipId, SizeKb, SectorSize, EraseRequired;
        const char* Name;
    } cases[] = {
        {"08BF", PELMIX_RESULT_OK, 0x08BF, 128, 0, 0, "SST29LE010"},
        {"351F", PELMIX_RESULT_OK, 0x351F, 128, 0, 0, "AT29LE010A"},
        {"D4BF", PELMIX_RESULT_OK, 0xD4BF, 64, 4096, 1, "SST39VF512"},
        {"D5BF", PELMIX_RESULT_OK, 0xD5BF, 128, 4096, 1, "SST39VF010"},
        {"171F", PELMIX_RESULT_UNKNOWN_CHIP, 0x171F, 0, 0, 0, nullptr},
        {"2320", PELMIX_RESULT_UNKNOWN_CHIP, 0x2320, 0, 0, 0, nullptr},
        {"9FDF", PELMIX_RESULT_UNKNOWN_CHIP, 0x9FDF, 0, 0, 0, nullptr},
        {"noid", PELMIX_RESULT_UNKNOWN_CHIP, 0xAA55, 0, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Flash);
        StartOn(CardMachine(1, c.Flash));
        DirtyChip();  // a part that ignores the command shows its first two bytes
        uint32_t exitWaitUs = 0;
        for (const ChipCase& chip : ChipCases) {
            if (strcmp(chip.Flash, c.Flash) == 0)
                exitWaitUs = chip.ExitWaitUs;
        }
        PELMIX_CHIP_INFO info;
        RequestReply reply = SendIdentify(&info);
        EXPECT_EQ(info.Header.Status, c.Status);
        EXPECT_EQ(reply.Information, c.Status == PELMIX_RESULT_OK ? 64u : 4u);
        EXPECT_EQ(info.ChipId, c.ChipId);
        if (c.Name) {
            EXPECT_EQ(info.SizeKb, c.SizeKb);
            EXPECT_EQ(info.SectorSize, c.SectorSize);
            EXPECT_EQ(info.EraseRequired, c.EraseRequired);
            EXPECT_STREQ(info.ChipName, c.Name);
            EXPECT_EQ(static_cast<uint8_t>(info.ChipName[11]), 0xA5) << "bytes past the name are written";
        } else {
            EXPECT_EQ(info.SizeKb, 0xA5A5A5A5u);
            EXPECT_EQ(static_cast<uint8_t>(info.ChipName[0]), 0xA5);
        }
        // 20 ms in identification mode, then the part's own exit wait.
        EXPECT_EQ(DelayWords(),
                  std::vector<std::string>({"sleep -5000000", "stall 67000", "stall 20000",
                                            "stall " + std::to_string(exitWaitUs), "stall 67000"}));
        // Identification enters and leaves by 0x5555/0x2AAA whatever the part.
        std::vector<EmuChipCommand> commands = ChipCommands();
        ASSERT_EQ(commands.size(), 2u);
        EXPECT_EQ(commands[0].Kind, static_cast<uint32_t>(EmuCommandIdentify));
        EXPECT_EQ(commands[1].Kind, static_cast<uint32_t>(EmuCommandExit));
        for (const EmuChipCommand& command : commands) {
            EXPECT_EQ(command.Address1, 0x5555u);
            EXPECT_EQ(command.Address2, 0x2AAAu);
        }
    }
}

TEST_F(ChipRequests, EraseOfThe2320PartWaitsOneAndAHalfSecondsAtItsOwnOffsets)
{
    StartOn(CardMachine(1, "2320"));
    DirtyChip();
    CardSnapshot before = TakeSnapshot();
    PELMIX_REQUEST_HEADER header;
    RequestReply reply = SendErase(&header);
    EXPECT_EQ(header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(reply.Information, 4u);
    EXPECT_EQ(DelayWords(),
              std::vector<std::string>(
                  {"sleep -5000000", "stall 67000", "stall 20000", "stall 1000", "stall 1500000", "stall 67000"}));
    EXPECT_EQ(HostHeldTimeUs(), 67000u + 20000 + 1000 + 1500000 + 67000);
    std::vector<EmuChipCommand> commands = ChipCommands();
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].Address1, 0x5555u);  // identification
    EXPECT_EQ(commands[2].Kind, static_cast<uint32_t>(EmuCommandChipErase));
    EXPECT_EQ(commands[2].Address1, 0x555u);
    EXPECT_EQ(commands[2].Address2, 0x2AAu);
    EXPECT_EQ(commands[3].Kind, static_cast<uint32_t>(EmuCommandExit));
    EXPECT_EQ(commands[3].Address1, 0x555u);
    EXPECT_TRUE(ChipBytes(0, 0x20000) == std::vector<uint8_t>(0x20000, 0xFF));
    ExpectLeftAsFound(before);
}

// Byte method: looks at 20, 25, 30, 35 and 40 us after each byte.
TEST_F(ChipRequests, ByteCompletesWithinFortyMicroseconds)
{
    StartOn(CardMachine(2, "9FDF", "", "fault slow 1:00.0 30\n"));
    PageRequest pages(0x200, 1);
    for (uint32_t i = 0; i < 128; ++i)
        pages.Page(0)[i] = PatternByte(i);
    SendPages(IOCTL_PELMIX_WRITE_PAGES, &pages);
    EXPECT_EQ(pages.Status(), PELMIX_RESULT_OK);
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandProgram), 128u);
    EXPECT_EQ(ChipBytes(0x200, 128), std::vector<uint8_t>(pages.Page(0), pages.Page(0) + 128));
    std::vector<std::string> words = DelayWords();
    ASSERT_GE(words.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(words.begin() + 5, words.begin() + 8),
              std::vector<std::string>({"stall 20", "stall 5", "stall 5"}));
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandReset), 1u) << "no reset to read mode after the page";

    // The last look comes 40 us after the byte.
    StartOn(CardMachine(2, "9FDF", "", "fault slow 1:00.0 40\n"));
    SendPages(IOCTL_PELMIX_WRITE_PAGES, &pages);
    EXPECT_EQ(pages.Status(), PELMIX_RESULT_OK);

    StartOn(CardMachine(2, "9FDF", "", "fault slow 1:00.0 45\n"));
    SendPages(IOCTL_PELMIX_WRITE_PAGES, &pages);
    EXPECT_EQ(pages.Status(), PELMIX_RESULT_PROGRAM_TIMEOUT);
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandProgram), 1u) << "the page goes on after a failed byte";
    words = DelayWords();
    ASSERT_GE(words.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(words.begin() + 5, words.begin() + 10),
              std::vector<std::string>({"stall 20", "stall 5", "stall 5", "stall 5", "stall 5"}));
}

// Page method: six polls of a sixth of the programming wait each.
TEST_F(ChipRequests, PageCompletesByTheSixthPoll)
{
    StartOn(CardMachine(1, "08BF", "", "fault slow 1:00.0 5500\n"));
    PageRequest pages(0, 2);
    for (uint32_t i = 0; i < 256; ++i)
        pages.Page(0)[i] = PatternByte(i);
    SendPages(IOCTL_PELMIX_WRITE_PAGES, &pages);
    EXPECT_EQ(pages.Status(), PELMIX_RESULT_OK);
    EXPECT_EQ(ChipBytes(0, 256), std::vector<uint8_t>(pages.Page(0), pages.Page(0) + 256));

    // Bit 7 would match only at a seventh poll.
    StartOn(CardMachine(1, "08BF", "", "fault slow 1:00.0 6500\n"));
    SendPages(IOCTL_PELMIX_WRITE_PAGES, &pages);
    EXPECT_EQ(pages.Status(), PELMIX_RESULT_PROGRAM_TIMEOUT);
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandPage), 1u) << "the write goes on after a failed page";
    std::vector<std::string> words = DelayWords();
    EXPECT_EQ(std::count(words.begin(), words.end(), "stall 1000"), 6);
}

TEST_F(ChipRequests, AFailedPageEndsTheWholeChipWriteThere)
{
    StartOn(CardMachine(3, "D5BF", "", "fault stuck 1:00.0 0x1010\n"));
    RomRequest write;
    std::vector<uint8_t> pattern = Pattern(0x20000);
    memcpy(write.Record()->Data, pattern.data(), pattern.size());
    SendRom(IOCTL_PELMIX_WRITE_ROM, &write);
    EXPECT_EQ(write.Record()->Header.Status, PELMIX_RESULT_PROGRAM_TIMEOUT);
    std::vector<uint8_t> chip = ChipBytes(0, 0x20000);
    EXPECT_TRUE(std::equal(chip.begin(), chip.begin() + 0x1010, pattern.begin()));
    EXPECT_TRUE(std::all_of(chip.begin() + 0x1011, chip.end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandProgram), 0x1011u);
}

// Each chip write is followed by a 32-bit read of register 0, which pushes
// the write out to the card before the next one.
TEST_F(ChipRequests, EveryChipWriteIsFollowedByARegisterRead)
{
    const struct {
        const char* Flash;
        uint32_t Code;
        uint32_t ChipWrites;
    } cases[] = {
        {"08BF", IOCTL_PELMIX_WRITE_PAGES, 6 + 3 + 128},      // identification, one page load
        {"9FDF", IOCTL_PELMIX_WRITE_PAGES, 6 + 4 * 128 + 1},  // identification, 128 bytes, reset
        {"D5BF", IOCTL_PELMIX_ERASE_CHIP, 6 + 6 + 3},         // identification, erase, reset
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Flash);
        StartOn(CardMachine(4, c.Flash));  // its access set reads register 0 once
        PageRequest pages(0, 1);
        uint32_t before = EmuRegisterZeroReads();
        SendPages(c.Code, &pages);
        EXPECT_EQ(pages.Status(), PELMIX_RESULT_OK);
        EXPECT_EQ(EmuRegisterZeroReads() - before, 1 + c.ChipWrites);
    }
}

TEST_F(ChipRequests, PageRangesAreCheckedAgainstTheChipWithoutWrapAround)
{
    const struct {
        const char* Flash;
        uint32_t Start, Count, Status;
    } cases[] = {
        {"351F", 0x1FF80, 1, PELMIX_RESULT_OK},
        {"351F", 0x1FF80, 2, PELMIX_RESULT_BEYOND_CHIP},
        {"351F", 0x20000, 0, PELMIX_RESULT_OK},
        {"351F", 0x20080, 0, PELMIX_RESULT_BEYOND_CHIP},
        {"351F", 0xFFFFFF80u, 1, PELMIX_RESULT_BEYOND_CHIP},
        {"351F", 0, 0, PELMIX_RESULT_OK},
        {"D4BF", 0xFF80, 1, PELMIX_RESULT_OK},
        {"D4BF", 0x10000, 1, PELMIX_RESULT_BEYOND_CHIP},
        {"351F", 64, 1, PELMIX_RESULT_BAD_START_OFFSET},
    };
    for (const auto& c : cases) {
        for (uint32_t code : {IOCTL_PELMIX_READ_PAGES, IOCTL_PELMIX_WRITE_PAGES_PREERASED}) {
            SCOPED_TRACE(testing::Message() << c.Flash << " " << std::hex << c.Start << " " << c.Count << " " << code);
            StartOn(CardMachine(2, c.Flash));
            std::vector<uint8_t> pattern = Pattern(0x20000);
            ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, pattern.data(),
                                  EmuChipSize(CardBus, CardDevice, CardFunction)),
                      1);
            PageRequest pages(c.Start, c.Count);
            RequestReply reply = SendPages(code, &pages);
            EXPECT_EQ(pages.Status(), c.Status);
            // StartOffset is checked before the phase opens; the range inside it.
            EXPECT_EQ(HostMappingsMade(), c.Status == PELMIX_RESULT_BAD_START_OFFSET ? 0u : 2u);
            if (c.Status != PELMIX_RESULT_OK) {
                EXPECT_EQ(reply.Information, 4u);
                EXPECT_EQ(EmuChipCommandTotal(EmuCommandProgram), 0u);
            } else if (code == IOCTL_PELMIX_READ_PAGES) {
                EXPECT_EQ(reply.Information, 27 + 128 * c.Count);
                if (c.Count == 1) {
                    EXPECT_EQ(memcmp(pages.Page(0), &pattern[c.Start], 128), 0);
                }
            }
        }
    }
}

}  // namespace
