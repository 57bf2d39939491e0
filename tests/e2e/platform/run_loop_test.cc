// The GLib main loop behind `pause` and `blocking`: sources are served during waits, and a finished
// worker ends a wait early.

#include <gtest/gtest.h>

#include <glib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/bridge.h"
#include "platform/clock.h"
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

TEST_F(MainLoop, TheHostClockIsMonotonicAndTheWallClockIsEpochBased) {
    auto& clock = *platform::services().clock;
    const double a = clock.hostSeconds();
    clock.sleep(0.01);
    EXPECT_GT(clock.hostSeconds(), a);
    EXPECT_GT(clock.epochSeconds(), 1.7e9);
}

}  // namespace
