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
        for (uint32_t code : {IOCTL_PELMIX_READ_ROM, IOCTL_PELMIX_WRITE_ROM}) {
            RomRequest request;
            memset(request.Record()->Data, 0x5A, sizeof request.Record()->Data);
            RequestReply reply = SendRom(code, &request);
            EXPECT_EQ(request.Record()->Header.Status, PELMIX_RESULT_MAP_ROM);
            EXPECT_EQ(reply.Information, 4u);
        }
        EXPECT_EQ(EmuChipCommandTotal(EmuCommandChipErase) + EmuChipCommandTotal(EmuCommandProgram) +
                      EmuChipCommandTotal(EmuCommandPage),
                  0u);
        EXPECT_TRUE(ChipBytes(0, 0x20000) == std::vector<uint8_t>(0x20000, 0x00));
        ExpectLeftAsFound(before);
    }
}

}  // namespace
