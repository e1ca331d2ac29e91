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

}  // namespace
