// The processor hold on the emulated machine's host threads: the handshake,
// its failures, and the delays it asks for.
#include "chip_test_support.h"
#include "delay.h"
#include "processor_hold.h"

namespace {

using namespace chiptest;

// Every hold on more than one processor starts its watch after the holders.
const uint32_t Watch = 1;

struct HoldTest : ::testing::Test {
    void Start(const std::string& machine)
    {
        HostResetPlatform();
        LoadMachine(machine);
    }
    void TearDown() override
    {
        EXPECT_EQ(HostWaitForHoldingThreads(5000), 1);
        EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();
        HostResetPlatform();
    }
};

TEST_F(HoldTest, OneProcessorOnlyRaisesTheIrqlAfterTheSettleSleep)
{
    Start("cpus 1\n");
    ASSERT_EQ(HoldProcessors(), 0u);
    EXPECT_EQ(HostCurrentIrql(), 2);
    EXPECT_EQ(HostHoldingThreadsCreated(), 0u);
    EXPECT_EQ(HostEventWaits(), 0u);
    EXPECT_EQ(DelayWords(), std::vector<std::string>({"sleep -5000000"}));
    EXPECT_EQ(Delays()[0].Irql, 0);
    ReleaseProcessors();
    EXPECT_EQ(HostCurrentIrql(), 0);
}

TEST_F(HoldTest, EveryOtherProcessorSpinsUntilTheRelease)
{
    Start("cpus 4\n");
    ASSERT_EQ(HoldProcessors(), 0u);
    EXPECT_EQ(HostHoldingThreadsCreated(), 3u + Watch);
    EXPECT_EQ(HostHoldingThreadsSpinning(), 3u);
    EXPECT_EQ(HostCurrentIrql(), 2);
    // Other work of a busy machine must not take the processor before the
    // raise: the priority is given back only after the IRQL is lowered.
    EXPECT_EQ(HostCurrentPriority(), 32) << "priority dropped before the release";
    EXPECT_EQ(DelayWords(), std::vector<std::string>({"sleep -5000000"}));
    ReleaseProcessors();
    EXPECT_EQ(HostCurrentIrql(), 0);
    EXPECT_EQ(HostCurrentPriority(), 8) << "priority not given back at the release";
    EXPECT_EQ(HostWaitForHoldingThreads(5000), 1);

    // A second hold starts over: new threads, the settle sleep again.
    HostClearDelayLog();
    ASSERT_EQ(HoldProcessors(), 0u);
    EXPECT_EQ(HostHoldingThreadsCreated(), 2 * (3u + Watch));
    EXPECT_EQ(DelayWords(), std::vector<std::string>({"sleep -5000000"}));
    ReleaseProcessors();
}

TEST_F(HoldTest, ProcessorCountComesFromTheMaskUpToTheReportedNumber)
{
    const struct {
        const char* Machine;
        uint32_t Threads;
    } cases[] = {
        {"cpus 2 mask=0xFF\n", 1},  // more mask bits than processors
        {"cpus 4 mask=0x5\n", 1},   // fewer mask bits than processors
        {"cpus 3 mask=0x80000003\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Machine);
        Start(c.Machine);
        ASSERT_EQ(HoldProcessors(), 0u);
        EXPECT_EQ(HostHoldingThreadsCreated(), c.Threads + Watch);
        ReleaseProcessors();
        EXPECT_EQ(HostWaitForHoldingThreads(5000), 1);
    }
}

TEST_F(HoldTest, FailuresLeaveIrqlAndPriorityAndLetEveryThreadGo)
{
    const struct {
        const char* Machine;
        uint32_t Result;
        uint32_t Threads;
        uint64_t VirtualUs;  // after the 500-ms sleep
    } cases[] = {
        {"cpus 3\nfault cpu-query\n", PELMIX_RESULT_CPU_QUERY, 0, 500000},
        {"cpus 3\nfault cpu-thread\n", PELMIX_RESULT_THREAD_CREATE, 1, 500000},
        {"cpus 3\nfault cpu-timeout\n", PELMIX_RESULT_HOLD_TIMEOUT, 2 + Watch, 2500000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Machine);
        Start(c.Machine);
        uint64_t start = HostVirtualTimeUs();
        EXPECT_EQ(HoldProcessors(), c.Result);
        EXPECT_EQ(HostVirtualTimeUs() - start, c.VirtualUs);
        EXPECT_EQ(HostHoldingThreadsCreated(), c.Threads);
        EXPECT_EQ(HostCurrentIrql(), 0);
        EXPECT_EQ(HostCurrentPriority(), 8);
        EXPECT_EQ(HostHeldTimeUs(), 0u);
        // The thread that arrived, and the one that arrives after the time-out, leave.
        EXPECT_EQ(HostWaitForHoldingThreads(5000), 1);
        EXPECT_EQ(HostHoldingThreadsSpinning(), 0u);
    }
}

// Each holding thread spins on a processor of its own, never the requester's
// (two threads at DISPATCH_LEVEL on one processor are a misuse of the host),
// and the requester stays on its processor until the release gives its
// affinity back as it was.
TEST_F(HoldTest, HoldersTakeTheOtherProcessorsAndTheRequesterKeepsItsOwn)
{
    const struct {
        const char* Machine;
        uint32_t Processor;
        uint32_t Affinity;  // the requester's before the hold
        uint32_t Held;
    } cases[] = {
        {"cpus 4\n", 2, 0x4, 0xF},  // a requester that may use one processor only
        {"cpus 4\n", 1, 0xF, 0xF},  // free to use all: pinned to the one it is on
        {"cpus 2\n", 0, 0x1, 0x3},           {"cpus 3 mask=0x80000003\n", 31, 0x80000001, 0x80000003},
        {"cpus 2 mask=0xFF\n", 1, 0x2, 0x3},  // mask bits past the reported number are no processors
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Machine << "requester on " << c.Processor);
        Start(c.Machine);
        HostPlaceCurrentThread(c.Processor, c.Affinity);
        ASSERT_EQ(HoldProcessors(), 0u);
        HostPlacement held = HostCurrentPlacement();
        EXPECT_EQ(held.Processor, c.Processor);
        EXPECT_EQ(held.Affinity, 1u << c.Processor);
        EXPECT_EQ(held.AtDispatch, c.Held);
        ReleaseProcessors();
        EXPECT_EQ(HostCurrentPlacement().Affinity, c.Affinity);
        EXPECT_EQ(HostCurrentPlacement().Processor, c.Processor);
        EXPECT_EQ(HostWaitForHoldingThreads(5000), 1);
        EXPECT_EQ(HostCurrentPlacement().AtDispatch, 0u);
        EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();
    }
}

TEST_F(HoldTest, FailuresGiveTheAffinityBack)
{
    for (const char* machine : {"cpus 3\nfault cpu-thread\n", "cpus 3\nfault cpu-timeout\n"}) {
        SCOPED_TRACE(machine);
        Start(machine);
        HostPlaceCurrentThread(2, 0x6);
        EXPECT_NE(HoldProcessors(), 0u);
        EXPECT_EQ(HostCurrentPlacement().Affinity, 0x6u);
        EXPECT_EQ(HostCurrentPriority(), 8);
        EXPECT_EQ(HostWaitForHoldingThreads(5000), 1);
        EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();
    }
}

TEST_F(HoldTest, DelaySleepsAtPassiveAndStallsAtDispatch)
{
    Start("cpus 1\n");
    DelayMs(67);
    ASSERT_EQ(HoldProcessors(), 0u);
    HostClearDelayLog();
    DelayMs(67);
    DelayMs(1500);
    ReleaseProcessors();
    EXPECT_EQ(DelayWords(), std::vector<std::string>({"stall 67000", "stall 1500000"}));
    HostClearDelayLog();
    DelayMs(67);
    EXPECT_EQ(DelayWords(), std::vector<std::string>({"sleep -670000"}));
}

}  // namespace
