// The machine file: what it builds, and how a bad line is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emu_test_support.h"
#include "pci_machine.h"

namespace {

std::vector<std::string> Warnings;

void CollectWarning(const char* line, void*)
{
    Warnings.push_back(line);
}

TEST(MachineFile, MalformedLinesAreRefusedWithTheirLineNumber)
{
    struct Case {
        const char* Text;
        const char* Error;
    };
    const Case cases[] = {
        {"# comment\n\npci 0:1f id=1234:5678\n", "line 3: expected B:D.F"},
        {"pci 0:20.0 id=1234:5678\n", "line 1: expected B:D.F"},
        {"pci 256:00.0 id=1234:5678\n", "line 1: expected B:D.F"},
        {"pci 0:01.0 rev=01\n", "line 1: pci line without id="},
        {"pci 0:01.0 id=12345:1\n", "line 1: bad id"},
        {"pci 0:01.0 id=1234:5678\npci 0:01.0 id=1234:5678\n", "line 2: function defined twice"},
        {"pci 0:01.0 id=1234:5678 bar0=0xE0001000/64M\n", "line 1: BAR base is not aligned"},
        {"pci 0:01.0 id=1234:5678 bar0=0xE0000000/3000\n", "line 1: BAR size must be a power of two"},
        {"pci 0:01.0 id=1234:5678 bar0=0xE0000000\n", "line 1: bad BAR"},
        {"pci 0:01.0 id=1234:5678 rom=0xE0000000/1K\n", "line 1: ROM size"},
        {"pci 0:01.0 id=1234:5678 cfg22=0x1\n", "line 1: bad configuration register"},
        {"pci 0:01.0 id=1234:5678 flash=D5BF\n", "line 1: flash=, image= and reg keys need an Orvel card"},
        {"pci 0:01.0 id=1E5B:0A51 flash=1234\n", "line 1: unknown flash part '1234'"},
        {"pci 0:01.0 id=1E5B:0A51 image=a.bin\n", "line 1: image= needs flash="},
        {"pci 0:01.0 id=1234:5678 header=01 bar2=0xE0000000/16\n", "line 1: this header type has no such BAR"},
        {"cpus 0\n", "line 1: expected a processor count"},
        {"cpus 2 mask=0xZZ\n", "line 1: bad mask"},
        {"fault\n", "line 1: expected a fault name"},
        {"fault melt\n", "line 1: unknown fault 'melt'"},
        {"fault stuck 0:01.0 5\n", "line 1: fault names a function that is not an Orvel card"},
        {"pci 0:02.0 id=1234:0001\nfault decoding-stuck-on 0:01.0\n", "line 2: fault names a function not defined"},
        {"pci 0:01.0 id=1234:0001\nfault decoding-stuck-on 0:01.0 4\n", "line 2: wrong number of arguments"},
        {"pci 0:01.0 id=1E5B:0A51\nfault slow 0:01.0 30\n", "line 2: fault names a card without flash="},
        {"pci 0:01.0 id=1E5B:0A51 flash=D5BF\nfault stuck 0:01.0\n", "line 2: wrong number of arguments"},
        {"pci 0:01.0 id=1E5B:0A51 flash=D5BF\nfault stuck 0:01.0 5 0\n", "line 2: bad count"},
        {"pci 0:01.0 id=1E5B:0A51 flash=D5BF\nfault stuck 0:01.0 5 1 1\n", "line 2: wrong number of arguments"},
        {"pci 0:01.0 id=1E5B:0A51 flash=D5BF\nfault slow 0:01.0 5 1\n", "line 2: wrong number of arguments"},
        {"pci 0:01.0 id=1E5B:0A51\nfault corrupt 0:01.0 5\n", "line 2: fault names a card without flash="},
        {"pci 0:01.0 id=1E5B:0A51 flash=D5BF\nfault corrupt 0:01.0\n", "line 2: wrong number of arguments"},
        {"pci 0:01.0 id=1E5B:0A51 flash=D5BF\nfault corrupt 0:01.0 5 0\n", "line 2: bad count"},
        {"pci 0:01.0 id=1234:5678\npcl 0:02.0 id=1234:5678\n", "line 2: unknown directive 'pcl'"},
    };
    for (const Case& c : cases) {
        std::string error = LoadError(c.Text);
        EXPECT_EQ(error.rfind(c.Error, 0), 0u) << c.Text << " gave: " << error;
    }
    // A refused file leaves an empty machine, not half of one.
    EXPECT_EQ(EmuPeekConfig32(0, 1, 0, 0), 0xFFFFFFFFu);
}

TEST(MachineFile, LongLinesAndTinyErrorBuffersAreSafe)
{
    std::string line = "pci 0:01.0 id=1234:5678";
    for (int i = 0; i < 100; ++i)
        line += " agp";
    char error[8];
    EXPECT_EQ(EmuLoadMachine(line.c_str(), error, sizeof error), 0);
    EXPECT_EQ(std::string(error), "line 1:");
    EXPECT_EQ(EmuLoadMachine("pcl", nullptr, 0), 0);
}

TEST(MachineFile, UnknownKeysAreAcceptedWithOneWarningEach)
{
    Warnings.clear();
    EmuSetWarningSink(CollectWarning, nullptr);
    LoadOrFail("cpus 2 speed=fast\npci 0:01.0 id=1234:5678 colour=red shiny\r\n");
    EmuSetWarningSink(nullptr, nullptr);
    ASSERT_EQ(Warnings.size(), 3u);
    EXPECT_EQ(Warnings[0], "line 1: unknown key ignored: 'speed=fast'");
    EXPECT_EQ(Warnings[1], "line 2: unknown key ignored: 'colour'");
    EXPECT_EQ(Warnings[2], "line 2: unknown key ignored: 'shiny'");
    EXPECT_EQ(EmuPeekConfig32(0, 1, 0, 0), 0x56781234u);
}

TEST(MachineFile, ProcessorsDefaultToTwoAndTakeAMask)
{
    LoadOrFail("");
    EXPECT_EQ(EmuProcessorCount(), 2u);
    EXPECT_EQ(EmuProcessorMask(), 3u);
    LoadOrFail("cpus 4\n");
    EXPECT_EQ(EmuProcessorMask(), 0xFu);
    LoadOrFail("cpus 3 mask=0xF0F\n");
    EXPECT_EQ(EmuProcessorCount(), 3u);
    EXPECT_EQ(EmuProcessorMask(), 0xF0Fu);
}

TEST(MachineFile, RegistersComeFromTheirKeys)
{
    LoadOrFail("pci 2:1f.3 id=1D2E:0C62 rev=A3 class=030001 header=80 cmd=0007 status=0230 "
               "subsys=1D2E:0401 bar0=0xE8000008/128M bar1=0xF3000000/16K rom=0xF3FE0001/128K "
               "cfg3C=0x0000010B reg0080=0x5 flash=noid  # trailing comment\n");
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x00), 0x0C621D2Eu);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x04), 0x02300007u);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x08), 0x030001A3u);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x0C), 0x00800000u);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x10), 0xE8000008u);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x14), 0xF3000000u);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x2C), 0x04011D2Eu);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x30), 0xF3FE0001u);
    EXPECT_EQ(EmuPeekConfig32(2, 0x1F, 3, 0x3C), 0x0000010Bu);
    uint32_t reg80 = 0;
    ASSERT_EQ(EmuCardRegister(2, 0x1F, 3, 0x80, &reg80), 1);
    EXPECT_EQ(reg80, 5u);
    EXPECT_EQ(EmuChipSize(2, 0x1F, 3), 0x20000u);
}

// cfgXX and regXXXX settings are read by one parser; each key keeps its own
// digits, offset range, count and words. (A line's 64 words end it before
// its 64 cfg settings could.)
TEST(MachineFile, RegisterKeysKeepTheirOwnRangesAndCounts)
{
    const std::string card = "pci 0:01.0 id=1D2E:0C62 flash=noid";
    std::string regFull = card;
    for (int i = 0; i < 32; ++i)
        regFull += " reg0080=0x" + std::to_string(i);
    struct Case {
        std::string Text;
        const char* Error;
    };
    const Case cases[] = {
        {card + " cfg100=0x1\n", "line 1: bad configuration register, expected cfgXX with XX a multiple of 4 'cfg100'"},
        {card + " cfg=0x1\n", "line 1: bad configuration register"},
        {card + " cfg40=zz\n", "line 1: bad register value 'zz'"},
        {card + " reg0082=0x1\n",
         "line 1: bad card register, expected regXXXX with XXXX a multiple of 4 below 4000 'reg0082'"},
        {card + " reg4000=0x1\n", "line 1: bad card register"},
        {card + " reg10000=0x1\n", "line 1: bad card register"},
        {card + " reg0080=zz\n", "line 1: bad register value 'zz'"},
        {regFull + " reg0084=0x1\n", "line 1: too many card registers on one line"},
    };
    for (const Case& c : cases) {
        std::string error = LoadError(c.Text);
        EXPECT_EQ(error.rfind(c.Error, 0), 0u) << c.Text << " gave: " << error;
    }
    // A full line is still accepted; the last offset of each range too.
    LoadOrFail(regFull + "\n");
    LoadOrFail(card + " cfgFC=0x5 reg3FFC=0x7\n");
    EXPECT_EQ(EmuPeekConfig32(0, 1, 0, 0xFC), 5u);
    uint32_t last = 0;
    ASSERT_EQ(EmuCardRegister(0, 1, 0, 0x3FFC, &last), 1);
    EXPECT_EQ(last, 7u);
}

}  // namespace
