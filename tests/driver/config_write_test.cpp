// What the ROM access phase's configuration writes leave on the card beside
// the registers they mean to change.
#include "chip_test_support.h"

namespace {

using namespace chiptest;

using ConfigWrites = ChipTest;

// A card with memory decoding off, whose status holds latched errors (a
// received master abort, a detected parity error): the phase switches
// decoding on and off through the command register, and the errors stay for
// whoever reads them.
TEST_F(ConfigWrites, CommandWritesLeaveTheLatchedStatusErrors)
{
    StartOn(CardMachine(2, "9FDF", "cmd=0004 status=A230"));
    uint32_t before = EmuPeekConfig32(CardBus, CardDevice, CardFunction, 0x04);
    RomRequest read;
    SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04), 2u);
    EXPECT_EQ(EmuPeekConfig32(CardBus, CardDevice, CardFunction, 0x04), before);
    EXPECT_EQ(before >> 16, 0xA230u);
}

// A ROM read and a ROM write, each refused with "ROM window not mapped" and
// only the Status back.
void ExpectReadAndWriteRefused()
{
    for (uint32_t code : {IOCTL_PELMIX_READ_ROM, IOCTL_PELMIX_WRITE_ROM}) {
        RomRequest request;
        memset(request.Record()->Data, 0x5A, sizeof request.Record()->Data);
        RequestReply reply = SendRom(code, &request);
        EXPECT_EQ(request.Record()->Header.Status, PELMIX_RESULT_MAP_ROM);
        EXPECT_EQ(reply.Information, 4u);
    }
}

// A configuration write of the phase that does not take (memory decoding
// that will not switch on, a BAR that will not move, a ROM decoder that will
// not enable) would leave the frame buffer where the chip should answer: the
// phase ends undone with "ROM window not mapped", before any chip access.
TEST_F(ConfigWrites, APhaseWriteThatDoesNotTakeEndsThePhaseUndone)
{
    struct Case {
        const char* Register;
        const char* CardKeys;
    };
    const Case cases[] = {{"0x04", "cmd=0004"}, {"0x10", ""}, {"0x30", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Register);
        StartOn(CardMachine(2, "D5BF", c.CardKeys, std::string("fault config-ignored 1:00.0 ") + c.Register + "\n"));
        FillChip(0x00);
        CardSnapshot before = TakeSnapshot();
        ExpectReadAndWriteRefused();
        EXPECT_EQ(EmuChipCommandTotal(EmuCommandChipErase) + EmuChipCommandTotal(EmuCommandProgram) +
                      EmuChipCommandTotal(EmuCommandPage),
                  0u);
        EXPECT_TRUE(ChipBytes(0, 0x20000) == std::vector<uint8_t>(0x20000, 0x00));
        ExpectLeftAsFound(before);
    }
}

// Every chip request on the card refuses with "ROM window not mapped",
// before any configuration write, and leaves the chip as it was.
void ExpectEveryRequestRefusedUntouched()
{
    FillChip(0x3C);
    CardSnapshot before = TakeSnapshot();
    uint32_t writesBefore = EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04) +
        EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x10) +
        EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x30);
    ExpectReadAndWriteRefused();
    EXPECT_EQ(EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x04) +
                  EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x10) +
                  EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x30),
              writesBefore);
    EXPECT_TRUE(ChipBytes(0, 0x20000) == std::vector<uint8_t>(0x20000, 0x3C));
    ExpectLeftAsFound(before);
}

// BAR 0x10 needs a slot that the last scan saw free: with none, a slot kept
// from an earlier scan that is taken now, or a scan that stopped at the
// ninth card before looking at the devices after it, the phase is refused.
TEST_F(ConfigWrites, NoSlotKnownFreeRefusesThePhase)
{
    const std::string allTaken = "pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xFBF08000\n";
    {
        SCOPED_TRACE("every slot taken");
        StartOn(CardMachine(2, "D5BF", "", allTaken));
        ASSERT_EQ(Driver.RelocationAddress, 0u);
        ExpectEveryRequestRefusedUntouched();
    }
    {
        SCOPED_TRACE("the slot of an earlier scan taken now");
        StartOn(CardMachine(2, "D5BF"));
        ASSERT_EQ(Driver.RelocationAddress, 0x80000000u);
        SwapMachine(CardMachine(2, "D5BF", "", allTaken));
        PELMIX_DEVICE_LIST list;
        Enumerate(&list);
        ASSERT_EQ(list.Status, PELMIX_RESULT_OK);
        ASSERT_EQ(Driver.RelocationAddress, 0x80000000u) << "kept, though taken";
        ExpectEveryRequestRefusedUntouched();
    }
    {
        SCOPED_TRACE("nine cards");
        StartOn(CardMachine(2, "D5BF"));
        std::string machine = CardMachine(2, "D5BF");
        for (int i = 0; i < 8; ++i)
            machine += "pci 2:0" + std::to_string(i) + ".0 id=1E5B:0A51\n";
        SwapMachine(machine);
        PELMIX_DEVICE_LIST list;
        Enumerate(&list);
        ASSERT_EQ(list.Status, PELMIX_RESULT_TOO_MANY_CARDS);
        ExpectEveryRequestRefusedUntouched();
    }
}

// The scan switches a card's memory decoding off to size its BARs; a command
// register that will not take the write turning it back on leaves the card
// decoding nothing, though the card list says it decodes. The phase goes by
// the register as it reads now: it cannot switch decoding on, and refuses
// rather than read the floating bus as the chip.
TEST_F(ConfigWrites, DecodingTheScanCouldNotTurnBackOnRefusesThePhase)
{
    StartOn(CardMachine(2, "D5BF", "cmd=0006", "fault config-ignored 1:00.0 0x04\n"));
    ASSERT_EQ(Driver.CardTable.Entries[0].MemoryEnabled, 1u);
    ASSERT_EQ(EmuPeekConfig32(CardBus, CardDevice, CardFunction, 0x04) & 0x2, 0u);
    FillChip(0x3C);
    CardSnapshot before = TakeSnapshot();
    RomRequest read;
    RequestReply reply = SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_MAP_ROM);
    EXPECT_EQ(reply.Information, 4u);
    EXPECT_EQ(EmuChipCommandTotal(EmuCommandChipErase) + EmuChipCommandTotal(EmuCommandProgram), 0u);
    ExpectLeftAsFound(before);
}

// Memory decoding found off at the phase, though the scan found it on, is
// switched on for the phase and off again after it.
TEST_F(ConfigWrites, DecodingFoundOffIsOnForThePhaseOnly)
{
    StartOn(CardMachine(2, "D5BF", "cmd=0006"));
    uint32_t command = EmuPeekConfig32(CardBus, CardDevice, CardFunction, 0x04) & 0xFFFF & ~0x2u;
    ASSERT_EQ(EmuConfigWrite(CardBus, CardDevice, &command, 0x04, 4), 4u);
    FillChip(0x3C);
    CardSnapshot before = TakeSnapshot();
    RomRequest read;
    SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(read.Record()->Data[0x1234], 0x3C);
    ExpectLeftAsFound(before);
}

// BAR 0x10 moved to the free slot must not reach into the next one: a
// 128-MB BAR needs two free slots at a multiple of 128 MB.
TEST_F(ConfigWrites, BarZeroMovesWhereItsWholeSpanIsFree)
{
    const std::string card = "pci 1:00.0 id=1E5B:0A52 bar0=0x40000008/128M bar1=0xD4000000/16K "
                             "rom=0xD5000000/128K flash=D5BF\n";
    std::vector<std::string> moves;
    StartOn("cpus 2\npci 0:02.0 id=1234:0001 bar0=0x84000000/64M\n" + card);
    ASSERT_EQ(Driver.RelocationAddress, 0x80000000u) << "the lowest free slot";
    EmuSetTraceSink(
        [](const char* line, void* context) {
            std::string write = line;
            if (write.find("config 1:00.0 0x10 <- ") == 0)
                static_cast<std::vector<std::string>*>(context)->push_back(write.substr(22, 10));
        },
        &moves);
    RomRequest read;
    SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EmuSetTraceSink(nullptr, nullptr);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(moves, std::vector<std::string>({"0x88000000", "0x40000000"})) << "slots 2 and 3, then back";

    // Only slot 0 free: no room for 128 MB, refused untouched.
    StartOn("cpus 2\npci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xFBF08400\n" + card);
    ASSERT_EQ(Driver.RelocationAddress, 0x80000000u);
    ExpectEveryRequestRefusedUntouched();
}

}  // namespace
