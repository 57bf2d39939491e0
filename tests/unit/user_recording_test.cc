// The user-recording loop: what ends it, how it waits, and when the tap is on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "fakes/fake_applications.h"
#include "fakes/fake_capture.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_user_events.h"
#include "run/user_recording.h"

namespace {

class UserRecordingTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeApplications apps;
    fakes::FakeUserEvents events;
    fakes::FakeCapturePlatform desktop;
    std::unique_ptr<capture::WindowRecorder> recorder;
    run::ClickLog log{{0, 0, 100, 100}, [] { return std::optional<double>(); }};
    jobs::Job job;

    void SetUp() override {
        platform::services().applications = &apps;
        platform::services().userEvents = &events;
        platform::ShareableWindow window;
        window.frame = {0, 0, 100, 100};
        recorder = std::make_unique<capture::WindowRecorder>(window, "/tmp/unused.mov", 30);
        recorder->start();
    }
    void TearDown() override {
        platform::services().applications = nullptr;
        platform::services().userEvents = nullptr;
    }

    // Runs the loop and returns what it wrote on standard output.
    std::string record(bool accessibility, const std::optional<platform::ApplicationProcess>& app,
                       std::unique_ptr<platform::PointerTap>* tap = nullptr) {
        testing::internal::CaptureStdout();
        auto made = run::recordUserActions(job, accessibility, app, log, *recorder);
        if (tap) *tap = std::move(made);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(UserRecordingTest, RunsUntilTheDeadlineInSlicesOfFiftyMillisecondsWithTheTapOn) {
    job.durationSec = 1.0;
    std::unique_ptr<platform::PointerTap> tap;
    const std::string out = record(true, std::nullopt, &tap);
    EXPECT_EQ(out, "{\"message\":\"Recording your actions\",\"type\":\"progress\",\"until\":1}\n");
    EXPECT_NEAR(platform.runLoop.slices.size(), 20, 1);  // sums of 0.05 land a hair short or long
    for (double slice : platform.runLoop.slices) EXPECT_DOUBLE_EQ(slice, 0.05);
    ASSERT_TRUE(tap);
    EXPECT_TRUE(events.tapEnabled());  // still on: the run turns it off after its tail
}

TEST_F(UserRecordingTest, TheDefaultLengthIsTwentySecondsAndWithoutAccessibilityThereIsNoTap) {
    const std::string out = record(false, std::nullopt);
    EXPECT_NE(out.find("\"until\":20"), std::string::npos);
    EXPECT_NEAR(platform.runLoop.slices.size(), 400, 1);
    EXPECT_EQ(events.tapsMade, 0);
}

// A full disk: the recording ends at the first failed write, not at the planned end.
TEST_F(UserRecordingTest, AWriterThatFailedStopsTheLoopAtOnce) {
    desktop.movies.failAppendsFrom = 0;
    desktop.capture.lastStream->deliverComplete(1.0);
    job.durationSec = 30.0;
    record(false, std::nullopt);
    EXPECT_TRUE(platform.runLoop.slices.empty());
}

TEST_F(UserRecordingTest, AStopFileOrTheApplicationsEndStopsTheLoopAtOnce) {
    const auto dir = std::filesystem::temp_directory_path() / ("qc-stop-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream((dir / "stop").string()).flush();
    job.durationSec = 30.0;
    job.stopFile = (dir / "stop").string();
    record(false, std::nullopt);
    EXPECT_TRUE(platform.runLoop.slices.empty());
    std::filesystem::remove_all(dir);

    job.stopFile = (dir / "not-there").string();
    platform::ApplicationProcess app;
    app.pid = 77;
    apps.terminated.insert(77);
    record(false, app);
    EXPECT_TRUE(platform.runLoop.slices.empty());

    job.durationSec = -1.0;
    apps.terminated.clear();
    record(false, app);
    EXPECT_TRUE(platform.runLoop.slices.empty());
}

}  // namespace
