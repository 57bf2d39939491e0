// The run's own arithmetic: window placement, the result object, the application string, the display
// capture's choices and the region capture's first-frame time.

#include <gtest/gtest.h>

#include <cmath>

#include "base/bridge.h"
#include "base/capture_error.h"
#include "fakes/fake_platform.h"
#include "run/run_defaults.h"
#include "run/region_capture.h"
#include "run/run_result.h"
#include "run/user_recording.h"
#include "run/window_placement.h"
#include "text/trimming.h"

namespace {

using Out::Message;

platform::ScreenFrames screen(platform::Rect frame, platform::Rect visible) {
    platform::ScreenFrames frames;
    frames.frame = frame;
    frames.visibleFrame = visible;
    return frames;
}

TEST(WindowPlacement, CentresInTheVisibleFrameAndKeepsLargeWindowsAtItsTopLeft) {
    // A dock of 25 points at the bottom.
    const auto docked = screen({0, 0, 1440, 900}, {0, 0, 1440, 875});
    EXPECT_EQ(run::placementOrigin(docked, 800, 600), (platform::Point{320, 162.5}));
    EXPECT_EQ(run::placementOrigin(docked, 2000, 1200), (platform::Point{0, 25}));
    // A panel of 30 points at the top: the origin is measured from the screen's top edge.
    const auto paneled = screen({0, 0, 1440, 900}, {0, 0, 1440, 870});
    EXPECT_EQ(run::placementOrigin(paneled, 800, 600), (platform::Point{320, 165}));
    EXPECT_EQ(run::placementOrigin(std::nullopt, 800, 600), (platform::Point{0, 0}));
    EXPECT_EQ(run::placementOrigin(docked, std::nan(""), 600), (platform::Point{0, 162.5}));
}

run::RunOutcome windowOutcome() {
    run::RunOutcome outcome;
    outcome.output = "out/m.mov";
    outcome.pixelSize = {1600, 1200};
    outcome.scale = 2;
    outcome.durationSeconds = 3.14159;
    outcome.frames = 42;
    outcome.title = "Editor";
    outcome.recordedArea = {100, 50, 800, 600};
    outcome.captureWindowFrame = jobs::Rect{100, 50, 800, 600};
    return outcome;
}

TEST(RunResult, HasTheFourteenKeysWithRoundedDurationAndWindowPlace) {
    const Message result = run::runResult(windowOutcome());
    EXPECT_EQ(result.size(), 14u);
    EXPECT_EQ(result["type"], "result");
    EXPECT_EQ(result["output"], "out/m.mov");
    EXPECT_EQ(result["width"], 1600);
    EXPECT_TRUE(result["width"].is_number_integer());
    EXPECT_DOUBLE_EQ(result["durationSec"].get<double>(), 3.142);
    EXPECT_EQ(result["display"], false);
    EXPECT_EQ(result["window"], (Message{{"x", 100.0}, {"y", 50.0}, {"width", 800.0}, {"height", 600.0}}));
    EXPECT_EQ(result["windowInRecording"], (Message{{"x", 0}, {"y", 0}, {"width", 1600}, {"height", 1200}}));
    EXPECT_EQ(result["preflight"], Message::object());
    EXPECT_EQ(result["clicks"], Message::array());
}

TEST(RunResult, WindowInRecordingIsScaledRelativeAndRoundedHalvesAway) {
    run::RunOutcome outcome = windowOutcome();
    outcome.scale = 1.5;
    outcome.recordedArea = {100, 50, 800, 600};
    outcome.captureWindowFrame = jobs::Rect{101, 49, 300.5, 201};  // 1.5, -1.5, 450.75, 301.5
    EXPECT_EQ(run::windowInRecording(outcome), (Message{{"x", 2}, {"y", -2}, {"width", 451}, {"height", 302}}));

    outcome.display = true;
    outcome.captureWindowFrame.reset();
    outcome.pixelSize = {2880, 1800};
    EXPECT_EQ(run::windowInRecording(outcome), (Message{{"x", 0}, {"y", 0}, {"width", 2880}, {"height", 1800}}));
    EXPECT_EQ(run::runResult(outcome)["display"], true);
}

TEST(JobValues, TheApplicationStringLosesSpacesAndTabsButNotLineBreaks) {
    EXPECT_EQ(text::withoutSpacesAtEnds(""), "");
    EXPECT_EQ(text::withoutSpacesAtEnds(" \t Editor \t"), "Editor");
    EXPECT_EQ(text::withoutSpacesAtEnds("\u00A0\u3000Text Edit\u2009"), "Text Edit");
    EXPECT_EQ(text::withoutSpacesAtEnds("\nEditor\n"), "\nEditor\n");
    EXPECT_EQ(text::withoutSpacesAtEnds("  \t "), "");
    EXPECT_EQ(text::withoutSpacesAtEnds("\u00E9"), "\u00E9");  // a letter whose UTF-8 resembles no space
    EXPECT_DOUBLE_EQ(run::secondsFromMs(std::nullopt, 0.8), 0.8);
    EXPECT_DOUBLE_EQ(run::secondsFromMs(1500.0, 0.8), 1.5);
    EXPECT_DOUBLE_EQ(run::secondsFromMs(0.0, 0.8), 0);
}

platform::RunningApplication application(int32_t pid, std::string identity) {
    platform::RunningApplication app;
    app.processID = pid;
    app.bundleIdentifier = std::move(identity);
    return app;
}

TEST(DisplayCapture, LeavesOutTheHostThisProgramAndTheHostProductsApplications) {
    platform::ShareableContent content;
    content.applications = {application(10, "org.example.Editor"), application(20, ""),
                            application(30, "com.quorrel.Companion"), application(40, "org.example.Host"),
                            application(50, "com.quorrelx.Other")};
    std::vector<int32_t> pids;
    for (const auto& app : run::leftOutOfDisplay(content, 40, 20)) pids.push_back(app.processID);
    EXPECT_EQ(pids, (std::vector<int32_t>{20, 30, 40}));

    EXPECT_THROW(run::mainDisplay(content), CaptureError);
    platform::ShareableDisplay first, primary;
    first.displayID = 1;
    primary.displayID = 2;
    primary.primary = true;
    content.displays = {first, primary};
    EXPECT_EQ(run::mainDisplay(content).displayID, 2u);
    content.displays = {first};
    EXPECT_EQ(run::mainDisplay(content).displayID, 1u);
}

TEST(RegionCapture, TheFirstFrameTimeIsWholeMillisecondsWrittenAsDigits) {
    EXPECT_EQ(run::epochMilliseconds(1700000000.0005), 1700000000001.0);
    EXPECT_EQ(run::epochMilliseconds(1700000000.00049), 1700000000000.0);
    EXPECT_EQ(run::startedFileText(1700000000001.0), "1700000000001");
    EXPECT_EQ(run::startedFileText(0), "0");
}

// A run loop whose first slice ends early, as a late wake-up meant for an earlier wait makes it.
class EarlyRunLoop final : public platform::RunLoop {
public:
    explicit EarlyRunLoop(fakes::FakeClock& clock) : clock_(clock) {}
    std::vector<double> slices;
    void runFor(double seconds) override {
        slices.push_back(seconds);
        clock_.advance(slices.size() == 1 ? 0.001 : seconds);
    }
    void wake() override {}

private:
    fakes::FakeClock& clock_;
};

TEST(Pause, WaitsTheWholeTimeEvenWhenTheMainLoopReturnsEarly) {
    fakes::FakePlatform platform;
    EarlyRunLoop early(platform.clock);
    platform::services().runLoop = &early;
    const double start = platform.clock.host;
    bridge::pause(0.4);
    EXPECT_NEAR(platform.clock.host - start, 0.4, 1e-9);
    EXPECT_EQ(early.slices.size(), 2u);
    bridge::pause(0);
    bridge::pause(-1);
    EXPECT_EQ(early.slices.size(), 2u);
    platform::services().runLoop = &platform.runLoop;
}

}  // namespace
