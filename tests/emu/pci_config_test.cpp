// Configuration space as the driver's scan and ROM access phase rely on it.
#include <gtest/gtest.h>

#include "emu_test_support.h"
#include "pci_machine.h"

namespace {

TEST(PciConfig, EmptySlotsReadAllOnesAtEveryWidthAndIgnoreWrites)
{
    LoadOrFail("pci 0:01.0 id=1234:5678\n");
    uint8_t bytes[4] = {0, 0, 0, 0};
    EmuConfigRead(0, 2, bytes, 0x0E, 1);
    EXPECT_EQ(bytes[0], 0xFF);
    EmuConfigRead(7, 1, bytes, 0x00, 4);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(ConfigRead32(0, 1, 1, 0), 0xFFFFFFFFu) << "function 1 of a present device";
    ConfigWrite32(0, 2, 0, 0x10, 0);
    EXPECT_EQ(ConfigRead32(0, 2, 0, 0), 0xFFFFFFFFu);
}

TEST(PciConfig, SizeProbingGivesTheMaskWithTheReadOnlyTypeBits)
{
    LoadOrFail("pci 0:01.0 id=1234:5678 bar0=0xE0000008/128M bar1=0x0000E001/256 bar2=0xF000000C/64K "
               "bar4=0xF8000000/16 rom=0xF3FE0000/128K\n");
    struct Case {
        uint32_t Offset, Probed;
    };
    const Case cases[] = {
        {0x10, 0xF8000008},  // 128 MB prefetchable
        {0x14, 0xFFFFFF01},  // 256 bytes of I/O
        {0x18, 0xFFFF000C},  // 64-bit, 64 KB
        {0x1C, 0xFFFFFFFF},  // its upper half is all writable
        {0x20, 0xFFFFFFF0},  // 16 bytes
        {0x24, 0x00000000},  // no BAR: reads 0 whatever is written
        {0x30, 0xFFFE0001},  // ROM: enable bit and bits 17 up
    };
    for (const Case& c : cases) {
        uint32_t original = ConfigRead32(0, 1, 0, c.Offset);
        ConfigWrite32(0, 1, 0, c.Offset, 0xFFFFFFFFu);
        EXPECT_EQ(ConfigRead32(0, 1, 0, c.Offset), c.Probed) << std::hex << c.Offset;
        ConfigWrite32(0, 1, 0, c.Offset, original);
        EXPECT_EQ(ConfigRead32(0, 1, 0, c.Offset), original);
        EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, c.Offset), 2u);
    }
    // A base written with low bits keeps the type bits and drops the rest.
    ConfigWrite32(0, 1, 0, 0x10, 0x12345670);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x10), 0x10000008u);
}

TEST(PciConfig, IdentityRegistersAreReadOnlyAndByteWritesMerge)
{
    LoadOrFail("pci 0:01.0 id=1234:5678 rev=07 class=0300 header=80 cmd=0000 status=0010 subsys=1111:2222\n");
    for (uint32_t offset : {0x00u, 0x08u, 0x2Cu, 0x34u}) {
        uint32_t before = ConfigRead32(0, 1, 0, offset);
        ConfigWrite32(0, 1, 0, offset, ~before);
        EXPECT_EQ(ConfigRead32(0, 1, 0, offset), before) << std::hex << offset;
    }
    // Command is writable, status is not; header type stays.
    ConfigWrite32(0, 1, 0, 0x04, 0xFFFF0006);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x04), 0x00100006u);
    uint8_t header = 0;
    EmuConfigRead(0, 1, &header, 0x0E, 1);
    EXPECT_EQ(header, 0x80);
    // A one-byte write changes one byte and counts as one write to its register.
    uint8_t latency = 0x40;
    EmuConfigWrite(0, 1, &latency, 0x0D, 1);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x0C), 0x00804000u);
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x0C), 1u);
}

TEST(PciConfig, BridgeWindowsAreWritableAndBridgesHaveTwoBars)
{
    LoadOrFail("pci 0:01.0 id=8086:7191 class=0604 header=01 bar0=0xF0000000/4K cfg20=0xE7F0E000 cfg24=0x0000FFF0\n");
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x20), 0xE7F0E000u);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x24), 0x0000FFF0u);
    ConfigWrite32(0, 1, 0, 0x20, 0xEFF0E800);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x20), 0xEFF0E800u);
    ConfigWrite32(0, 1, 0, 0x10, 0xFFFFFFFF);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x10), 0xFFFFF000u);
}

TEST(PciConfig, AgpCardsCarryACapabilityListEndingInAgp)
{
    LoadOrFail("pci 1:00.0 id=1E5B:0A52 agp\n");
    EXPECT_TRUE(ConfigRead32(1, 0, 0, 0x04) & (0x10u << 16)) << "capabilities list bit";
    EXPECT_NE(ConfigRead32(1, 0, 0, 0x44) & 0xF, 0u);
    uint8_t pointer = 0;
    EmuConfigRead(1, 0, &pointer, 0x34, 1);
    int steps = 0;
    uint16_t capability = 0;
    while (pointer != 0 && steps < 48) {
        EmuConfigRead(1, 0, &capability, pointer, 2);
        if ((capability & 0xFF) == 2)
            break;
        pointer = static_cast<uint8_t>(capability >> 8);
        ++steps;
    }
    EXPECT_EQ(capability & 0xFF, 2) << "AGP capability found";
    EXPECT_GT(steps, 0) << "after another capability";
}

TEST(PciConfig, MultiFunctionDevicesAnswerPerFunction)
{
    LoadOrFail("pci 0:07.0 id=8086:7110 header=80\npci 0:07.3 id=8086:7113\npci 3:04.1 id=1D2E:0C61\n");
    EXPECT_EQ(ConfigRead32(0, 7, 3, 0), 0x71138086u);
    EXPECT_EQ(ConfigRead32(0, 7, 1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(ConfigRead32(3, 4, 1, 0), 0x0C611D2Eu);
    EXPECT_EQ(ConfigRead32(3, 4, 0, 0), 0xFFFFFFFFu);
}

TEST(PciConfig, SixtyFourFunctionsFitAndTheSixtyFifthIsRefused)
{
    std::string text;
    for (int i = 0; i < 64; ++i)
        text += "pci " + std::to_string(i) + ":00.0 id=1234:5678\n";
    LoadOrFail(text);
    EXPECT_EQ(ConfigRead32(63, 0, 0, 0), 0x56781234u);
    EXPECT_EQ(LoadError(text + "pci 64:00.0 id=1234:5678\n"), "line 65: too many functions (at most 64)");
}

// The status register's latched errors clear only where a one is written;
// its other bits never change.
TEST(PciConfig, StatusErrorBitsClearWhereOnesAreWritten)
{
    LoadOrFail("pci 0:01.0 id=1234:5678 cmd=0006 status=F930\n");
    ConfigWrite32(0, 1, 0, 0x04, 0x00000007);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x04), 0xF9300007u) << "zeros in the status half change nothing";
    ConfigWrite32(0, 1, 0, 0x04, 0x20000007);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x04), 0xD9300007u) << "received master abort cleared alone";
    ConfigWrite32(0, 1, 0, 0x04, 0xFFFF0007);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x04), 0x00300007u) << "every latched error cleared, the rest kept";
}

// config-ignored: a register that will not switch memory decoding on, move
// its BAR or enable its ROM decoder; size probes and other writes take.
TEST(PciConfig, IgnoredConfigWritesKeepOnlyWhatWouldEnableOrMove)
{
    LoadOrFail("pci 0:01.0 id=1E5B:0A52 cmd=0004 bar0=0xD0000008/64M bar1=0xD4000000/16K rom=0xD5000000/128K\n"
               "fault config-ignored 0:01.0 0x04\nfault config-ignored 0:01.0 0x10\n"
               "fault config-ignored 0:01.0 0x30\n");
    ConfigWrite32(0, 1, 0, 0x04, 0x00000006);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x04) & 0xFFFF, 0x0004u);
    ConfigWrite32(0, 1, 0, 0x04, 0x00000000);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x04) & 0xFFFF, 0x0000u) << "switching off takes";
    ConfigWrite32(0, 1, 0, 0x10, 0xFFFFFFFFu);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x10), 0xFC000008u) << "the size probe takes";
    ConfigWrite32(0, 1, 0, 0x10, 0xD0000008u);
    ConfigWrite32(0, 1, 0, 0x10, 0xE0000000u);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x10), 0xD0000008u) << "the move is dropped";
    ConfigWrite32(0, 1, 0, 0x30, 0xD0000001u);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x30), 0xD5000000u);
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x30), 1u) << "a dropped write still counts";
}

// decoding-stuck-on: memory decoding, once on, stays on; the command
// register's other bits, and a function that starts with decoding off, take
// their writes.
TEST(PciConfig, DecodingStuckOnKeepsOnlyTheMemoryBit)
{
    LoadOrFail("pci 0:01.0 id=1234:5678 cmd=0006 bar0=0xE0000000/64M\n"
               "pci 0:02.0 id=1234:5679 cmd=0000 bar0=0xE4000000/64M\n"
               "fault decoding-stuck-on 0:01.0\nfault decoding-stuck-on 0:02.0\n");
    ConfigWrite32(0, 1, 0, 0x04, 0x00000000);
    EXPECT_EQ(ConfigRead32(0, 1, 0, 0x04) & 0xFFFF, 0x0002u) << "bus mastering goes off, decoding stays";
    EXPECT_EQ(EmuBusClaimCount(0xE0000000u), 1u);
    ConfigWrite32(0, 2, 0, 0x04, 0x00000000);
    EXPECT_EQ(ConfigRead32(0, 2, 0, 0x04) & 0xFFFF, 0x0000u);
    ConfigWrite32(0, 2, 0, 0x04, 0x00000002);
    ConfigWrite32(0, 2, 0, 0x04, 0x00000004);
    EXPECT_EQ(ConfigRead32(0, 2, 0, 0x04) & 0xFFFF, 0x0006u) << "on, and then stuck";
}

// A size probe counts as masked only when interrupts stayed masked from its
// all-ones write to the write that restores the register.
TEST(PciConfig, SizeProbesNoteWhetherInterruptsStayedMasked)
{
    LoadOrFail("pci 0:01.0 id=1234:5678 bar0=0xE0000000/64M bar1=0xE4000000/16K rom=0xE5000000/128K\n"
               "pci 0:02.0 id=8086:7191 class=0604 header=01 bar0=0xF0000000/4K\n");
    EmuSetInterruptsMasked(1);
    ConfigWrite32(0, 1, 0, 0x10, 0xFFFFFFFFu);
    EXPECT_EQ(EmuOpenBarProbes(), 1u);
    ConfigRead32(0, 1, 0, 0x10);
    ConfigWrite32(0, 1, 0, 0x10, 0xE0000000u);
    EmuSetInterruptsMasked(0);
    EXPECT_EQ(EmuBarProbeCount(), 1u);
    EXPECT_EQ(EmuUnmaskedBarProbeCount(), 0u);
    EXPECT_EQ(EmuOpenBarProbes(), 0u);

    // Enabled for a moment between the write and the restore.
    EmuSetInterruptsMasked(1);
    ConfigWrite32(0, 1, 0, 0x14, 0xFFFFFFFFu);
    EmuSetInterruptsMasked(0);
    EmuSetInterruptsMasked(1);
    ConfigWrite32(0, 1, 0, 0x14, 0xE4000000u);
    EXPECT_EQ(EmuUnmaskedBarProbeCount(), 1u);
    EmuBarProbe probe = {};
    ASSERT_EQ(EmuFirstUnmaskedBarProbe(&probe), 1);
    EXPECT_EQ(probe.Device, 1u);
    EXPECT_EQ(probe.Offset, 0x14u);
    // Interrupts enabled while the ROM BAR holds its probe.
    ConfigWrite32(0, 1, 0, 0x30, 0xFFFFFFFFu);
    EmuSetInterruptsMasked(0);
    EXPECT_EQ(EmuUnmaskedBarProbeCount(), 2u) << "an open probe counts at once";
    ConfigWrite32(0, 1, 0, 0x30, 0xE5000000u);
    EXPECT_EQ(EmuUnmaskedBarProbeCount(), 2u);
    EXPECT_EQ(EmuOpenBarProbes(), 0u);

    // No probe: a byte write of ones, all ones to a register that is no BAR,
    // and a bridge's register past its two BARs.
    uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EmuConfigWrite(0, 1, ones, 0x10, 1);
    ConfigWrite32(0, 1, 0, 0x40, 0xFFFFFFFFu);
    ConfigWrite32(0, 2, 0, 0x18, 0xFFFFFFFFu);
    EXPECT_EQ(EmuBarProbeCount(), 3u);
    ConfigWrite32(0, 2, 0, 0x14, 0xFFFFFFFFu);
    EXPECT_EQ(EmuBarProbeCount(), 4u) << "a bridge's second BAR";

    // A new machine starts a new record.
    LoadOrFail("pci 0:01.0 id=1234:5678\n");
    EXPECT_EQ(EmuBarProbeCount(), 0u);
    EXPECT_EQ(EmuUnmaskedBarProbeCount(), 0u);
    EXPECT_EQ(EmuOpenBarProbes(), 0u);
}

}  // namespace
