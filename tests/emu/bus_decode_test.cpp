// Address decoding and when the flash chip becomes visible: the rules a
// driver's ROM access phase must meet step by step.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "emu_test_support.h"
#include "pci_machine.h"

namespace {

const uint32_t RomContents0 = 0x55;

class ChipVisibility : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadOrFail(CardMachine("D5BF"));
        const uint8_t bios[2] = {0x55, 0xAA};
        ASSERT_EQ(EmuChipPoke(0, 0x0A, 0, 0, bios, 2), 1);
    }
    // The card's own memory at this offset, read through its BAR.
    static uint8_t MemoryByte(uint32_t offset) { return EmuBusRead8(MovedMemory + offset); }
};

TEST_F(ChipVisibility, AFullyOpenedCardShowsTheChip)
{
    OpenChip();
    EXPECT_EQ(Chip(0), RomContents0);
    EXPECT_EQ(Chip(1), 0xAA);
    EXPECT_EQ(EmuBusRead32(CardMemory), 0xFFFFAA55u);
}

TEST_F(ChipVisibility, EachMissingStepHidesTheChip)
{
    // BAR 0x10 left in place: both decoders claim the address and it floats.
    OpenChip();
    ConfigWrite32(0, 0x0A, 0, 0x10, CardMemory);
    EXPECT_EQ(EmuBusClaimCount(CardMemory), 2u);
    EXPECT_EQ(Chip(0), 0xFF);

    // ROM decoder off: the old address belongs to nobody.
    OpenChip();
    ConfigWrite32(0, 0x0A, 0, 0x30, CardMemory);
    EXPECT_EQ(EmuBusClaimCount(CardMemory), 0u);
    EXPECT_EQ(Chip(0), 0xFF);

    // Memory decoding off: no decoder of the card answers.
    OpenChip();
    ConfigWrite32(0, 0x0A, 0, 0x04, 0x0000);
    EXPECT_EQ(Chip(0), 0xFF);
    ConfigWrite32(0, 0x0A, 0, 0x04, 0x0006);

    // Registers not prepared: the card's memory answers instead of the chip.
    OpenChip();
    EmuBusWrite32(CardRegisters + 0x00, 0x21000101);
    EmuAdvanceUs(67000);
    EXPECT_EQ(Chip(0), MemoryByte(0));
    EXPECT_EQ(Chip(5), MemoryByte(5));

    // Prepared but not yet settled: 67 ms after the last register write.
    OpenChip();
    EmuBusWrite32(CardRegisters + 0x04, 0);
    EmuAdvanceUs(66999);
    EXPECT_EQ(Chip(0), MemoryByte(0));
    EmuAdvanceUs(1);
    EXPECT_EQ(Chip(0), RomContents0);
}

TEST_F(ChipVisibility, WritesThatMissTheChipAreCountedAndLost)
{
    ChipCommand(0x90);  // nothing opened: BAR 0x10 takes the writes
    EXPECT_EQ(EmuCardLostChipWrites(0, 0x0A, 0), 0u) << "they reached the card's memory";
    ConfigWrite32(0, 0x0A, 0, 0x10, MovedMemory);
    ConfigWrite32(0, 0x0A, 0, 0x30, CardMemory | 1);
    ChipCommand(0x90);  // ROM decoder on, card not prepared
    EXPECT_EQ(EmuCardLostChipWrites(0, 0x0A, 0), 3u);
    EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
}

TEST(CardRegisters, PairsCrossBetweenWriteAndRead)
{
    LoadOrFail("pci 0:01.0 id=1E5B:0A51 bar1=0xE4000000/8K\n"
               "pci 0:02.0 id=1D2E:0C62 bar1=0xE5000000/16K\n");
    // Family 1: a value written to 0x0C reads back at 0x00, 0x08 at 0x04.
    EmuBusWrite32(0xE400000C, 0x11111111);
    EmuBusWrite32(0xE4000008, 0x22222222);
    EXPECT_EQ(EmuBusRead32(0xE4000000), 0x11111111u);
    EXPECT_EQ(EmuBusRead32(0xE4000004), 0x22222222u);
    // Families 2 to 4: 0x00 and 0x04 cross; other registers do not.
    EmuBusWrite32(0xE5000000, 0x33333333);
    EmuBusWrite32(0xE5000080, 0x44);
    EXPECT_EQ(EmuBusRead32(0xE5000004), 0x33333333u);
    EXPECT_EQ(EmuBusRead32(0xE5000080), 0x44u);
    // Beyond the 8-KB window of family 1 nothing answers.
    EmuBusWrite32(0xE4002000, 0x55);
    uint32_t value = 1;
    EXPECT_EQ(EmuCardRegister(0, 1, 0, 0x2000, &value), 1);
    EXPECT_EQ(value, 0u);
}

TEST(MappingFaults, RefuseOnlyTheNamedWindow)
{
    LoadOrFail(CardMachine("D5BF") +
               "pci 0:0b.0 id=1E5B:0A51 bar0=0xC0000008/64M bar1=0xC4000000/8K\n"
               "fault map-register 0:0a.0\nfault map-rom\n");
    EXPECT_TRUE(EmuMappingRefused(CardRegisters, 0x4000));
    EXPECT_FALSE(EmuMappingRefused(0xC4000000, 0x2000)) << "other card's registers";
    EXPECT_TRUE(EmuMappingRefused(CardMemory, 0x20000));
    EXPECT_TRUE(EmuMappingRefused(0xC0000000, 0x20000)) << "map-rom without a target names every card";
    EXPECT_FALSE(EmuMappingRefused(0xD0000000, 0x1000));
}

}  // namespace

namespace {

// Each family answers only when its own set of registers is as prepared.
TEST(CardRegisters, EachFamilyHasItsOwnPreparedState)
{
    struct Case {
        const char* Id;
        uint32_t Window;
        std::vector<std::pair<uint32_t, uint32_t>> Prepare;  // register writes
        std::pair<uint32_t, uint32_t> Spoil;                 // one write that undoes it
    };
    const Case cases[] = {
        {"1E5B:0A51", 8192, {{0x00, 0}, {0x04, 0}, {0x08, 0}, {0x0C, 0}}, {0x04, 1}},
        {"1D2E:0C61", 16384, {{0x147C, 0x421}, {0x1480, 0x10}, {0x00, 0}, {0x04, 0}}, {0x1480, 0x11}},
        {"1D2E:0C62", 16384, {{0x80, 0x100}, {0x00, 0}, {0x04, 0}}, {0x80, 0x101}},
    };
    for (const Case& c : cases) {
        LoadOrFail(std::string("pci 0:0a.0 id=") + c.Id + " bar0=0xE0000008/64M bar1=0xE4000000/" +
                   std::to_string(c.Window) + " flash=D5BF\n");
        const uint8_t bios[1] = {0x55};
        EmuChipPoke(0, 0x0A, 0, 0, bios, 1);
        ConfigWrite32(0, 0x0A, 0, 0x10, MovedMemory);
        ConfigWrite32(0, 0x0A, 0, 0x30, CardMemory | 1);
        EmuAdvanceUs(67000);
        EXPECT_NE(Chip(0), 0x55) << c.Id << ": not prepared at power-up";
        for (const auto& write : c.Prepare)
            EmuBusWrite32(CardRegisters + write.first, write.second);
        EmuAdvanceUs(67000);
        EXPECT_EQ(Chip(0), 0x55) << c.Id;
        EmuBusWrite32(CardRegisters + c.Spoil.first, c.Spoil.second);
        EmuAdvanceUs(67000);
        EXPECT_NE(Chip(0), 0x55) << c.Id << ": spoiled";
    }
}

}  // namespace
