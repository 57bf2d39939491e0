#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/bridge.h"
#include "base/capture_error.h"
#include "app/dispatch.h"
#include "base/permissions.h"
#include "fakes/fake_platform.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(Bridge, ReturnsTheWorkersValueAndServesTheLoopMeanwhile) {
    fakes::FakePlatform platform;
    std::atomic<bool> release{false};
    std::thread::id workerThread;
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        release = true;
    });
    const int value = bridge::blocking([&] {
        workerThread = std::this_thread::get_id();
        while (!release) std::this_thread::yield();
        return 42;
    });
    releaser.join();
    EXPECT_EQ(value, 42);
    EXPECT_NE(workerThread, std::this_thread::get_id());
    ASSERT_FALSE(platform.runLoop.slices.empty());
    for (double slice : platform.runLoop.slices) EXPECT_DOUBLE_EQ(slice, 0.01);
}

TEST(Bridge, RethrowsTheWorkersErrorUnchanged) {
    fakes::FakePlatform platform;
    try {
        bridge::blocking([]() -> int { throw CaptureError("the app has no on-screen window"); });
        FAIL() << "no exception";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(), "the app has no on-screen window");
        EXPECT_EQ(error.code(), "external");
    }
    EXPECT_THROW(bridge::blocking([] { throw std::logic_error("x"); }), std::logic_error);
}

TEST(Bridge, PauseServesTheLoopOnlyForAPositiveTime) {
    fakes::FakePlatform platform;
    bridge::pause(0);
    bridge::pause(-1);
    EXPECT_TRUE(platform.runLoop.slices.empty());
    bridge::pause(0.25);
    EXPECT_EQ(platform.runLoop.slices, std::vector<double>{0.25});
}

TEST(Dispatch, TheAppFilterIsTheWordAfterTheFirstAppFlag) {
    using Args = std::vector<std::string>;
    EXPECT_EQ(app::appFilter(Args{"qc", "windows"}), std::nullopt);
    EXPECT_EQ(app::appFilter(Args{"qc", "windows", "--app"}), std::nullopt);
    EXPECT_EQ(app::appFilter(Args{"qc", "windows", "--app", "gedit", "--app", "other"}), "gedit");
    EXPECT_EQ(app::appFilter(Args{"qc", "--app", "x", "windows"}), "x");
}

TEST(Permissions, StatusHoldsBothExplanationsWhateverTheState) {
    fakes::FakePlatform platform;
    platform.permissions.screen = true;
    platform.permissions.ax = false;
    CaptureStdout();
    Permissions::command({"qc", "permissions"});
    EXPECT_EQ(GetCapturedStdout(),
              "{\"accessibility\":false,\"explain\":{\"accessibility\":\"" + Permissions::explainAX +
                  "\",\"screenRecording\":\"" + Permissions::explainScreen +
                  "\"},\"screenRecording\":true,\"type\":\"result\"}\n");
    EXPECT_EQ(platform.permissions.axRequests, 0);
}

TEST(Permissions, RequestAnywhereAsksOnlyForWhatIsMissing) {
    fakes::FakePlatform platform;
    platform.permissions.ax = false;
    CaptureStdout();
    Permissions::command({"qc", "permissions", "extra", "--request"});
    GetCapturedStdout();
    EXPECT_EQ(platform.permissions.axRequests, 1);
    EXPECT_EQ(platform.permissions.screenRequests, 0);
}

TEST(Permissions, RequireReturnsWhenWhatIsNeededIsHeld) {
    fakes::FakePlatform platform;
    platform.permissions.ax = false;
    Permissions::require(/*needAX=*/false, /*prompt=*/true);
    platform.permissions.ax = true;
    platform.permissions.screen = false;
    Permissions::require(/*needAX=*/true, /*prompt=*/true, /*needScreen=*/false);
    EXPECT_EQ(platform.permissions.axRequests + platform.permissions.screenRequests, 0);
}

TEST(PermissionsDeathTest, BothMissingListsScreenRecordingFirst) {
    fakes::FakePlatform platform;
    platform.permissions.screen = false;
    platform.permissions.ax = false;
    EXPECT_EXIT(
        {
            Permissions::require(true, false, true);
        },
        testing::ExitedWithCode(2), "");
}

TEST(PermissionsDeathTest, ThePromptDoesNotRescueTheCommand) {
    fakes::FakePlatform platform;
    platform.permissions.ax = false;
    platform.permissions.grantOnRequest = true;
    EXPECT_EXIT(Permissions::require(true, true, true), testing::ExitedWithCode(2), "");
}

}  // namespace
