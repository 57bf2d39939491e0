// The GLib main loop behind `pause` and `blocking`: sources are served during waits, and a finished
// worker ends a wait early.

#include <gtest/gtest.h>

#include <glib.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "base/bridge.h"
#include "platform/clock.h"
#include "platform/linux/main_context_turn.h"
#include "platform/services.h"

namespace {

class MainLoop : public testing::Test {
protected:
    void SetUp() override { platform::installSystemServices(); }
};

TEST_F(MainLoop, SourcesAttachedToTheMainContextAreServedDuringAPause) {
    int fired = 0;
    g_timeout_add(10, [](gpointer count) -> gboolean { ++*static_cast<int*>(count); return G_SOURCE_CONTINUE; }, &fired);
    bridge::pause(0.2);
    g_source_remove_by_user_data(&fired);
    EXPECT_GE(fired, 3);
}

TEST_F(MainLoop, APauseLastsUntilItsDeadlineAndNoLonger) {
    auto& clock = *platform::services().clock;
    const double start = clock.hostSeconds();
    bridge::pause(0.15);
    const double elapsed = clock.hostSeconds() - start;
    EXPECT_GE(elapsed, 0.15);
    EXPECT_LT(elapsed, 5.0);  // a hang check, not a timing target
}

TEST_F(MainLoop, AWaitLongerThanTheClockCanCountServesTheLoopWithoutSpinning) {
    // 1e22 ms, as a job's "settleMs" may say: far past what microsecond or millisecond counters hold.
    auto& runLoop = *platform::services().runLoop;
    int fired = 0;
    g_timeout_add(10, [](gpointer count) -> gboolean { ++*static_cast<int*>(count); return G_SOURCE_CONTINUE; }, &fired);
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        runLoop.wake();
    });
    timespec cpuBefore{}, cpuAfter{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuBefore);
    const auto start = std::chrono::steady_clock::now();
    runLoop.runFor(1e19);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuAfter);
    waker.join();
    g_source_remove_by_user_data(&fired);
    const double cpu = double(cpuAfter.tv_sec - cpuBefore.tv_sec) + double(cpuAfter.tv_nsec - cpuBefore.tv_nsec) / 1e9;
    EXPECT_GE(elapsed, 0.5) << "the wait ended before the wake-up";
    EXPECT_GE(fired, 10) << "sources are served during the wait";
    EXPECT_LT(cpu, 0.3 * elapsed) << "the wait spun a core";
}

TEST_F(MainLoop, ZeroOrNegativePausesReturnAtOnce) {
    int fired = 0;
    g_idle_add([](gpointer count) -> gboolean { ++*static_cast<int*>(count); return G_SOURCE_REMOVE; }, &fired);
    bridge::pause(0);
    bridge::pause(-3);
    EXPECT_EQ(fired, 0);
    bridge::pause(0.01);
    EXPECT_EQ(fired, 1);
}

TEST_F(MainLoop, BlockingReturnsAsSoonAsTheWorkerIsDone) {
    // A worker that finishes at once must not leave the main thread waiting on an idle loop.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(bridge::blocking([i] { return i; }), i);
    EXPECT_THROW(bridge::blocking([] { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST_F(MainLoop, AWorkerTakingATurnKeepsTheLoopFromDispatchingUntilItIsDone) {
    // libatspi's connections are watched from the main context: the main thread serving it while a worker
    // waits for a reply would take that reply away from the worker.
    std::atomic<int> fired{0};
    g_timeout_add(1, [](gpointer count) -> gboolean { ++*static_cast<std::atomic<int>*>(count); return G_SOURCE_CONTINUE; },
                  &fired);
    for (int round = 0; round < 5; ++round) {
        const auto [during, waitedSeconds] = bridge::blocking([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the loop is polling by now
            const auto asked = std::chrono::steady_clock::now();
            platform::linux_desktop::MainContextTurn turn;
            const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
            const int before = fired.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return std::pair{fired.load() - before, waited};
        });
        EXPECT_EQ(during, 0) << "the loop dispatched a source during the worker's turn";
        EXPECT_LT(waitedSeconds, 2.0) << "a hang check, not a timing target";
    }
    const int after = fired.load();
    bridge::pause(0.05);
    g_source_remove_by_user_data(&fired);
    EXPECT_GT(fired.load(), after) << "the loop serves its sources again once the turns are over";
}

TEST_F(MainLoop, TheHostClockIsMonotonicAndTheWallClockIsEpochBased) {
    auto& clock = *platform::services().clock;
    const double a = clock.hostSeconds();
    clock.sleep(0.01);
    EXPECT_GT(clock.hostSeconds(), a);
    EXPECT_GT(clock.epochSeconds(), 1.7e9);
}

}  // namespace
