// The host platform under the driver: virtual time, IRQL, mappings and the
// threads of the processor hold, including the faults that break it.
#include <gtest/gtest.h>

#include <thread>

#include "delay.h"
#include "emu_test_support.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "platform.h"
#include "processor_hold.h"

namespace {

class HostPlatform : public ::testing::Test {
protected:
    void SetUp() override { HostResetPlatform(); }
    void TearDown() override
    {
        EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();
        HostResetPlatform();
    }
};

TEST_F(HostPlatform, WaitsAdvanceVirtualTimeAndAreLoggedInOrder)
{
    uint64_t start = HostVirtualTimeUs();
    PlatformDelayExecution(-670000);
    uint8_t old = PlatformRaiseIrql(PlatformDispatchLevel);
    PlatformStallMicroseconds(1500000);
    PlatformLowerIrql(old);
    EXPECT_EQ(HostVirtualTimeUs() - start, 67000u + 1500000u);
    EXPECT_EQ(HostHeldTimeUs(), 1500000u);
    ASSERT_EQ(HostDelayCount(), 2u);
    HostDelay sleep, stall;
    ASSERT_TRUE(HostDelayAt(0, &sleep));
    ASSERT_TRUE(HostDelayAt(1, &stall));
    EXPECT_EQ(sleep.Kind, static_cast<uint32_t>(HostDelaySleep));
    EXPECT_EQ(sleep.Amount, -670000);
    EXPECT_EQ(sleep.Irql, 0);
    EXPECT_EQ(stall.Kind, static_cast<uint32_t>(HostDelayStall));
    EXPECT_EQ(stall.Amount, 1500000);
    EXPECT_EQ(stall.AtUs, start + 67000);
    EXPECT_EQ(stall.Irql, PlatformDispatchLevel);
}

TEST_F(HostPlatform, IrqlBelongsToEachThreadAndMisuseIsReported)
{
    uint8_t old = PlatformRaiseIrql(PlatformDispatchLevel);
    uint8_t seenElsewhere = 99;
    std::thread other([&] { seenElsewhere = PlatformGetCurrentIrql(); });
    other.join();
    EXPECT_EQ(seenElsewhere, 0);
    EXPECT_EQ(HostCurrentIrql(), PlatformDispatchLevel);
    PlatformDelayExecution(-10000);  // a sleep at DISPATCH_LEVEL
    PlatformLowerIrql(old);
    EXPECT_EQ(HostMisuseCount(), 1u);
    EXPECT_STREQ(HostFirstMisuse(), "sleep above PASSIVE_LEVEL");
    HostResetPlatform();
}

// Interrupts are masked per thread; a nested mask leaves them masked, and a
// sleep or a long stall with them masked is a misuse.
TEST_F(HostPlatform, InterruptsMaskPerThreadAndNestedMasksKeepThemMasked)
{
    int outer = PlatformMaskInterrupts();
    int inner = PlatformMaskInterrupts();
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 0);
    int seenElsewhere = 99;
    std::thread other([&] { seenElsewhere = HostInterruptsMasked(); });
    other.join();
    EXPECT_EQ(seenElsewhere, 0);
    PlatformStallMicroseconds(5);  // a few accesses long
    PlatformRestoreInterrupts(inner);
    EXPECT_EQ(HostInterruptsMasked(), 1) << "the outer mask holds";
    PlatformRestoreInterrupts(outer);
    EXPECT_EQ(HostInterruptsMasked(), 0);
    EXPECT_EQ(HostInterruptMasks(), 2u);
    EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();

    outer = PlatformMaskInterrupts();
    PlatformStallMicroseconds(6);
    PlatformDelayExecution(-10000);
    PlatformRestoreInterrupts(outer);
    EXPECT_EQ(HostMisuseCount(), 2u);
    EXPECT_STREQ(HostFirstMisuse(), "a stall of more than a few accesses with interrupts masked");
    HostResetPlatform();
}

TEST_F(HostPlatform, MappingsReachTheBusAndAreCounted)
{
    LoadOrFail(CardMachine("D5BF"));
    uint32_t physical = 0;
    ASSERT_EQ(PlatformTranslateBusAddress(0, CardRegisters, &physical), 1);
    EXPECT_EQ(physical, CardRegisters);
    void* registers = PlatformMapIoSpace(physical, 0x4000);
    ASSERT_NE(registers, nullptr);
    EXPECT_EQ(HostOpenMappings(), 1u);
    PlatformWrite32(registers, 0x80, 0x1234);
    EXPECT_EQ(PlatformRead32(registers, 0x80), 0x1234u);
    EXPECT_EQ(PlatformRead8(registers, 0x81), 0x12);
    PlatformUnmapIoSpace(registers, 0x4000);
    EXPECT_EQ(HostOpenMappings(), 0u);

    void* small = PlatformMapIoSpace(CardRegisters, 0x1000);
    EXPECT_EQ(PlatformRead32(small, 0x1000), 0xFFFFFFFFu) << "outside the mapping";
    PlatformUnmapIoSpace(small, 0x2000);
    EXPECT_EQ(HostMisuseCount(), 2u);
    EXPECT_STREQ(HostFirstMisuse(), "access outside its mapping");
    HostResetPlatform();

    LoadOrFail(CardMachine("D5BF") + "fault map-register 0:0a.0\n");
    EXPECT_EQ(PlatformMapIoSpace(CardRegisters, 0x4000), nullptr);
    EXPECT_EQ(HostOpenMappings(), 0u);
}

TEST_F(HostPlatform, HoldCapturesEveryOtherProcessorWithARealThread)
{
    LoadOrFail("cpus 4 mask=0xFF\n");
    uint64_t start = HostVirtualTimeUs();
    ASSERT_EQ(HoldProcessors(), 0u);
    EXPECT_EQ(HostHoldingThreadsCreated(), 4u) << "three holding threads and the hold's watch";
    EXPECT_EQ(HostHoldingThreadsSpinning(), 3u) << "every holding thread arrived";
    EXPECT_EQ(HostCurrentIrql(), PlatformDispatchLevel);
    EXPECT_EQ(HostCurrentPriority(), 32) << "priority kept while held";
    DelayMs(67);
    ReleaseProcessors();
    EXPECT_EQ(HostCurrentPriority(), 8) << "priority back after the release";
    EXPECT_TRUE(HostWaitForHoldingThreads(10000));
    EXPECT_EQ(HostHoldingThreadsSpinning(), 0u);
    EXPECT_EQ(HostVirtualTimeUs() - start, 567000u) << "500-ms sleep, then 67 ms held";
    EXPECT_EQ(HostHeldTimeUs(), 67000u);
}

TEST_F(HostPlatform, ATimedOutHoldCostsVirtualTimeOnlyAndLetsEveryThreadGo)
{
    LoadOrFail("cpus 3\nfault cpu-timeout\n");
    uint64_t start = HostVirtualTimeUs();
    EXPECT_EQ(HoldProcessors(), 11u);
    EXPECT_EQ(HostVirtualTimeUs() - start, 2500000u);
    EXPECT_EQ(HostHoldingThreadsCreated(), 3u) << "two holding threads and the hold's watch";
    EXPECT_EQ(HostEventWaits(), 2u) << "the requester's and the watch's";
    EXPECT_EQ(HostCurrentIrql(), 0);
    EXPECT_EQ(HostCurrentPriority(), 8);
    // The thread that arrived and the late one both leave.
    EXPECT_TRUE(HostWaitForHoldingThreads(10000));
    EXPECT_EQ(HostHeldTimeUs(), 0u);
}

TEST_F(HostPlatform, QueryAndThreadFaultsFailTheHold)
{
    LoadOrFail("cpus 3\nfault cpu-thread\n");
    EXPECT_EQ(HoldProcessors(), 10u);
    EXPECT_EQ(HostHoldingThreadsCreated(), 1u) << "the last creation fails";
    EXPECT_TRUE(HostWaitForHoldingThreads(10000));
    EXPECT_EQ(HostEventWaits(), 0u);

    LoadOrFail("cpus 3\nfault cpu-query\n");
    EXPECT_EQ(HoldProcessors(), 8u);
    EXPECT_EQ(HostHoldingThreadsCreated(), 1u) << "no new thread";

    // One processor: no thread and no wait, only the sleep and the raise.
    HostResetPlatform();
    LoadOrFail("cpus 1\n");
    uint64_t start = HostVirtualTimeUs();
    ASSERT_EQ(HoldProcessors(), 0u);
    ReleaseProcessors();
    EXPECT_EQ(HostHoldingThreadsCreated(), 0u);
    EXPECT_EQ(HostEventWaits(), 0u);
    EXPECT_EQ(HostVirtualTimeUs() - start, 500000u);
}

}  // namespace
