// A reset gives the driver the state of a fresh load, whatever its last
// lifetime left behind.
#include "chip_requests.h"
#include "chip_test_support.h"
#include "processor_hold.h"

namespace {

using namespace chiptest;

using DriverState = ChipTest;

TEST_F(DriverState, AResetForgetsTheCardsTheSlotAndTheChip)
{
    StartOn(CardMachine(1, "D4BF"));
    RomRequest read;
    SendRom(IOCTL_PELMIX_READ_ROM, &read);
    ASSERT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
    ASSERT_EQ(IdentifiedChipSize(), 0x10000u);
    ASSERT_EQ(Driver.RelocationAddress, 0x80000000u);

    ResetDriverState();
    EXPECT_EQ(IdentifiedChipSize(), 0x20000u) << "chip parameters of the last lifetime";
    EXPECT_EQ(Driver.RelocationAddress, 0u);
    SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_NO_CARD) << "card table of the last lifetime";
}

// The last holding thread of a timed-out hold gets its processor only after
// the reset: it must find the hold released and leave, not spin in the next
// lifetime's hold.
TEST_F(DriverState, AHoldingThreadOfTheLastLifetimeLeavesAfterAReset)
{
    HostResetPlatform();
    LoadMachine("cpus 3\nfault cpu-straggler\n");
    ASSERT_EQ(HoldProcessors(), PELMIX_RESULT_HOLD_TIMEOUT);

    ResetDriverState();
    SwapMachine("cpus 3\n");
    ASSERT_EQ(HoldProcessors(), PELMIX_RESULT_OK);
    ReleaseProcessors();
    EXPECT_EQ(PrepareDriverUnload(), 1);
    EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();
}

}  // namespace
