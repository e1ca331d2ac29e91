// What NT demands of a driver's threads and requests: no holding thread
// outlives the driver or is counted in a later hold, and requests sent at
// once from two threads run one after another.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "chip_test_support.h"
#include "processor_hold.h"

namespace {

using namespace chiptest;

// Polls (real time, bounded) until the condition holds; whether it did.
bool Await(const std::function<bool()>& condition)
{
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

struct ThreadLifetime : ChipTest { };

// cpu-linger keeps each holding thread in the driver's code for a while after
// its release; cpu-straggler gives the last thread of a timed-out hold its
// processor only once the next hold has begun.
TEST_F(ThreadLifetime, AfterEveryHoldOutcomeTheNextHoldAndTheUnloadFindNoThreadRunning)
{
    const struct {
        const char* Machine;
        uint32_t Result;
    } cases[] = {
        {"cpus 3\nfault cpu-linger\n", PELMIX_RESULT_OK},
        {"cpus 3\nfault cpu-query\n", PELMIX_RESULT_CPU_QUERY},
        {"cpus 3\nfault cpu-thread\nfault cpu-linger\n", PELMIX_RESULT_THREAD_CREATE},
        {"cpus 3\nfault cpu-timeout\nfault cpu-linger\n", PELMIX_RESULT_HOLD_TIMEOUT},
        {"cpus 3\nfault cpu-straggler\n", PELMIX_RESULT_HOLD_TIMEOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Machine);
        HostResetPlatform();
        LoadMachine(c.Machine);
        for (int hold = 0; hold < 2; ++hold) {
            ASSERT_EQ(HoldProcessors(), c.Result);
            if (c.Result == PELMIX_RESULT_OK)
                ReleaseProcessors();
        }
        EXPECT_EQ(PrepareDriverUnload(), 1);
        EXPECT_EQ(HostHoldingThreadsRunning(), 0u) << "a holding thread still runs after the unload";
        EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();
    }
}

TEST_F(ThreadLifetime, RequestsSentAtOnceRunOneAfterAnother)
{
    StartOn(CardMachine(2, "08BF"));
    std::vector<uint8_t> pattern(0x20000);
    for (uint32_t i = 0; i < pattern.size(); ++i)
        pattern[i] = PatternByte(i);
    ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, pattern.data(), 0x20000), 1);
    CardSnapshot before = TakeSnapshot();

    // The first request stops inside its ROM access phase, processors held.
    HostPauseWindowAccesses(1);
    RomRequest first, second;
    std::thread firstSender([&] { SendRom(IOCTL_PELMIX_READ_ROM, &first); });
    ASSERT_TRUE(Await([] { return HostPausedAccesses() == 1; }));

    // The second must wait for it at the door, not begin a hold of its own.
    std::atomic<bool> secondDone {false};
    std::thread secondSender([&] {
        SendRom(IOCTL_PELMIX_READ_ROM, &second);
        secondDone = true;
    });
    Await([&] { return HostRequestLockWaiters() == 1 || HostMisuseCount() > 0 || secondDone; });
    EXPECT_EQ(HostRequestLockWaiters(), 1u);
    EXPECT_FALSE(secondDone);
    EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();

    HostPauseWindowAccesses(0);
    firstSender.join();
    secondSender.join();
    for (RomRequest* request : {&first, &second}) {
        EXPECT_EQ(request->Record()->Header.Status, PELMIX_RESULT_OK);
        EXPECT_TRUE(memcmp(request->Record()->Data, pattern.data(), pattern.size()) == 0);
    }
    ExpectLeftAsFound(before);
}

}  // namespace
