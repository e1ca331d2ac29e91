// The ROM access phase around every chip request: what it does to the card
// while open, that every request leaves the card, the processors and the
// windows as it found them whatever fails, and its waits.
#include <stdio.h>

#include "chip_test_support.h"
#include "rom_access.h"

namespace {

using namespace chiptest;

const uint32_t ChipRequestCodes[] = {
    IOCTL_PELMIX_READ_ROM,      IOCTL_PELMIX_WRITE_ROM,
    IOCTL_PELMIX_READ_PAGES,    IOCTL_PELMIX_WRITE_PAGES,
    IOCTL_PELMIX_ERASE_CHIP,    IOCTL_PELMIX_WRITE_ROM_PREERASED,
    IOCTL_PELMIX_IDENTIFY_CHIP, IOCTL_PELMIX_WRITE_PAGES_PREERASED,
};

bool IsWrite(uint32_t code)
{
    return code == IOCTL_PELMIX_WRITE_ROM || code == IOCTL_PELMIX_WRITE_ROM_PREERASED ||
        code == IOCTL_PELMIX_WRITE_PAGES || code == IOCTL_PELMIX_WRITE_PAGES_PREERASED;
}

using RomAccessPhase = ChipTest;

uint32_t BarWrites()
{
    return EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x10);
}

// Sends the request with a full buffer (two pages for the page requests)
// and returns the result code in Status.
uint32_t SendChipRequest(uint32_t code)
{
    std::vector<uint8_t> buffer(sizeof(PELMIX_ROM_TRANSFER), 0x3C);
    PELMIX_PAGE_TRANSFER* pages = reinterpret_cast<PELMIX_PAGE_TRANSFER*>(buffer.data());
    pages->Header = CardHeader();
    pages->StartOffset = 0x1000;
    pages->PageCount = 2;
    uint32_t length = static_cast<uint32_t>(buffer.size());
    RequestReply reply = SendRequest(code, buffer.data(), length, length);
    EXPECT_EQ(reply.SystemStatus, 0u);
    uint32_t status;
    memcpy(&status, buffer.data(), 4);
    return status;
}

struct FaultCase {
    const char* Lines;  // machine lines after the card
    uint32_t Result;    // of every request, or of the writes (AllRequests false)
    bool AllRequests;
};

const FaultCase FaultCases[] = {
    {"", PELMIX_RESULT_OK, true},
    {"fault map-register\n", PELMIX_RESULT_MAP_REGISTERS, true},
    {"fault map-register 1:00.0\n", PELMIX_RESULT_MAP_REGISTERS, true},
    {"fault map-rom 1:00.0\n", PELMIX_RESULT_MAP_ROM, true},
    {"fault cpu-query\n", PELMIX_RESULT_CPU_QUERY, true},
    {"fault cpu-thread\n", PELMIX_RESULT_THREAD_CREATE, true},
    {"fault cpu-timeout\n", PELMIX_RESULT_HOLD_TIMEOUT, true},
    {"fault stuck 1:00.0 0x1010\n", PELMIX_RESULT_PROGRAM_TIMEOUT, false},
    {"fault slow 1:00.0 7000\n", PELMIX_RESULT_PROGRAM_TIMEOUT, false},  // every page still busy at the sixth poll
};

TEST_F(RomAccessPhase, EveryRequestLeavesTheCardAsFoundWhateverFails)
{
    for (uint32_t family = 1; family <= 4; ++family) {
        for (const FaultCase& fault : FaultCases) {
            for (uint32_t code : ChipRequestCodes) {
                SCOPED_TRACE(testing::Message()
                             << "family " << family << ", " << fault.Lines << ", code " << std::hex << code);
                StartOn(CardMachine(family, "08BF", "", fault.Lines));
                CardSnapshot before = TakeSnapshot();
                uint32_t expected = fault.AllRequests || IsWrite(code) ? fault.Result : PELMIX_RESULT_OK;
                EXPECT_EQ(SendChipRequest(code), expected);
                ExpectLeftAsFound(before);
                bool opened = expected == 0 || expected == PELMIX_RESULT_PROGRAM_TIMEOUT;
                if (!opened) {
                    EXPECT_EQ(EmuChipCommandCount(), 0u) << "chip touched although the phase never opened";
                }
            }
        }
    }
}

TEST_F(RomAccessPhase, ByteMethodFailuresAlsoLeaveTheCardAsFound)
{
    const char* faults[] = {"fault stuck 1:00.0 0x1010\n", "fault slow 1:00.0 45\n"};
    for (const char* fault : faults) {
        for (uint32_t code : {IOCTL_PELMIX_WRITE_ROM, IOCTL_PELMIX_WRITE_PAGES_PREERASED}) {
            SCOPED_TRACE(testing::Message() << fault << std::hex << code);
            StartOn(CardMachine(3, "D5BF", "", fault));
            CardSnapshot before = TakeSnapshot();
            EXPECT_EQ(SendChipRequest(code), 6u);
            ExpectLeftAsFound(before);
        }
    }
}

TEST_F(RomAccessPhase, MemoryDecodingIsSwitchedOnOnlyForTheLengthOfThePhase)
{
    // Memory decoding off: the chip answers only because the phase turns it on.
    StartOn(CardMachine(2, "9FDF", "cmd=0004"));
    std::vector<uint8_t> pattern(0x20000);
    for (uint32_t i = 0; i < pattern.size(); ++i)
        pattern[i] = PatternByte(i);
    ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, pattern.data(), 0x20000), 1);
    CardSnapshot before = TakeSnapshot();
    RomRequest read;
    SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
    EXPECT_TRUE(memcmp(read.Record()->Data, pattern.data(), pattern.size()) == 0);
    EXPECT_EQ(EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04), 2u);
    ExpectLeftAsFound(before);  // registers restored while the window still decoded

    // Memory decoding on: the phase never writes the command register.
    StartOn(CardMachine(2, "9FDF"));
    uint32_t commandWrites = EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04);
    SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04), commandWrites);
}

TEST_F(RomAccessPhase, RomDecoderEndsOffAndBarIsMovedOnlyWithAFreeSlot)
{
    // A ROM decoder that was on before the phase is off after it.
    StartOn("cpus 2\npci 1:00.0 id=1D2E:0C62 bar0=0xD0000000/64M bar1=0xD4000000/16K "
            "rom=0xD5000001/128K flash=351F\n");
    PELMIX_CHIP_INFO info;
    uint32_t barWrites = BarWrites();
    SendIdentify(&info);
    EXPECT_EQ(info.Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(EmuPeekConfig32(CardBus, CardDevice, CardFunction, 0x30), 0xD5000000u);
    EXPECT_EQ(BarWrites() - barWrites, 2u);

    // A bridge window over all of 2..4 GB leaves no free slot: BAR 0x10 left
    // in place would answer beside the ROM decoder, so the phase is refused
    // before it touches the card, for the ROM window it cannot give.
    StartOn("cpus 2\npci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xFFF08000\n" +
            CardMachine(4, "351F").substr(7));
    CardSnapshot before = TakeSnapshot();
    barWrites = BarWrites();
    uint32_t commandWrites = EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04);
    SendIdentify(&info);
    EXPECT_EQ(info.Header.Status, PELMIX_RESULT_MAP_ROM);
    EXPECT_EQ(BarWrites() - barWrites, 0u);
    EXPECT_EQ(EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04), commandWrites);
    EXPECT_EQ(HostMappingsMade(), 0u) << "nothing mapped";
    ExpectLeftAsFound(before);
}

TEST_F(RomAccessPhase, AnUnassignedBarIsNeverMapped)
{
    // A BAR that reads 0 would map bus address 0, the bottom of RAM: refused
    // before any mapping or configuration write, for the window that cannot be mapped.
    const struct {
        const char* Bars;
        uint32_t Result;
    } cases[] = {
        {"bar0=0xD0000000/64M", PELMIX_RESULT_MAP_REGISTERS},
        {"bar1=0xD4000000/16K", PELMIX_RESULT_MAP_ROM},
        {"", PELMIX_RESULT_MAP_REGISTERS},
    };
    for (const auto& c : cases) {
        for (uint32_t code : ChipRequestCodes) {
            SCOPED_TRACE(testing::Message() << c.Bars << ", code " << std::hex << code);
            StartOn(std::string("cpus 2\npci 1:00.0 id=1E5B:0A52 rom=0xD5000000/128K flash=08BF ") + c.Bars + "\n");
            CardSnapshot before = TakeSnapshot();
            uint32_t configWrites = 0;
            for (uint32_t offset = 0; offset < 0x40; offset += 4)
                configWrites += EmuConfigWriteCount(CardBus, CardDevice, CardFunction, offset);
            EXPECT_EQ(SendChipRequest(code), c.Result);
            for (uint32_t offset = 0; offset < 0x40; offset += 4)
                configWrites -= EmuConfigWriteCount(CardBus, CardDevice, CardFunction, offset);
            EXPECT_EQ(configWrites, 0u);
            EXPECT_EQ(HostMappingsMade(), 0u);
            EXPECT_EQ(EmuChipCommandCount(), 0u);
            ExpectLeftAsFound(before);
        }
    }
}

// Each access set waits 67 ms after its register changes, before and after
// the chip steps; identification waits 20 ms and then the chip's exit wait.
TEST_F(RomAccessPhase, WaitsOfEachAccessSet)
{
    for (uint32_t family = 1; family <= 4; ++family) {
        SCOPED_TRACE(family);
        StartOn(CardMachine(family, "351F"));
        PELMIX_CHIP_INFO info;
        SendIdentify(&info);
        EXPECT_EQ(info.Header.Status, PELMIX_RESULT_OK);
        std::vector<std::string> expected = {"sleep -5000000", "stall 67000"};
        if (family != 1)
            expected.push_back("stall 67000");
        expected.insert(expected.end(), {"stall 20000", "stall 20000", "stall 67000"});
        EXPECT_EQ(DelayWords(), expected);
        uint64_t held = 0;
        for (const HostDelay& delay : Delays()) {
            if (delay.Kind == HostDelayStall) {
                EXPECT_EQ(delay.Irql, 2);
                held += delay.Amount;
            }
        }
        EXPECT_EQ(HostHeldTimeUs(), held);
    }
}

// The card register accesses of the last request as "r OFFSET VALUE" and
// "w OFFSET VALUE", hex, with "+N" for the microseconds that passed between two.
std::vector<std::string> RegisterAccessWords()
{
    std::vector<std::string> words;
    EmuRegisterAccess access;
    uint64_t lastUs = 0;
    for (uint32_t i = 0; EmuRegisterAccessAt(i, &access); ++i) {
        if (i > 0 && access.AtUs != lastUs)
            words.push_back("+" + std::to_string(access.AtUs - lastUs));
        lastUs = access.AtUs;
        char word[32];
        snprintf(word, sizeof word, "%c %X %X", access.Write ? 'w' : 'r', access.Offset, access.Value);
        words.push_back(word);
    }
    EXPECT_LE(EmuRegisterAccessCount(), 64u) << "more accesses than the log keeps";
    return words;
}

// Each access set saves its registers, changes them and restores the saved
// values crosswise in its own order, around the identification's reads of
// register 0 (the card's power-up values as emu/orvel_card.cpp sets them).
TEST_F(RomAccessPhase, EachAccessSetTouchesItsRegistersInItsOrder)
{
    const std::vector<std::string> chipReads = {"r 0 0", "r 0 0", "r 0 0", "+20000",
                                                "r 0 0", "r 0 0", "r 0 0", "+20000"};
    struct SetCase {
        uint32_t Family;
        std::vector<std::string> Prepare, Restore;
    };
    const std::vector<std::string> prepareB = {"r 147C 21", "r 1480 13", "r 0 21000101", "r 4 300C002", "w 147C 421",
                                               "w 1480 10", "+67000",    "w 0 0",        "w 4 0",       "+67000"};
    const std::vector<std::string> restoreB = {"w 4 21000101", "w 0 300C002", "+67000", "w 1480 13", "w 147C 21"};
    const SetCase cases[] = {
        {1,
         {"r 0 1F000101", "r 4 C00002", "r 8 F003", "r C 80000004", "w 0 0", "w 4 0", "w 8 0", "w C 0", "+67000"},
         {"w C 1F000101", "+67000", "w 8 C00002", "w 4 F003", "w 0 80000004"}},
        {2, prepareB, restoreB},
        {3, prepareB, restoreB},
        {4,
         {"r 0 31000101", "r 4 400D002", "r 80 101", "w 80 100", "+67000", "w 0 0", "w 4 0", "+67000"},
         {"w 4 31000101", "w 0 400D002", "+67000", "r 80 100", "w 80 101"}},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.Family);
        StartOn(CardMachine(c.Family, "351F"));
        EmuClearRegisterAccesses();
        PELMIX_CHIP_INFO info;
        SendIdentify(&info);
        ASSERT_EQ(info.Header.Status, PELMIX_RESULT_OK);
        std::vector<std::string> expected = c.Prepare;
        expected.insert(expected.end(), chipReads.begin(), chipReads.end());
        expected.insert(expected.end(), c.Restore.begin(), c.Restore.end());
        EXPECT_EQ(RegisterAccessWords(), expected);
    }
}

}  // namespace
