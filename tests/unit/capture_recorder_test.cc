// The window recorder over a fake stream and a fake movie writer, on a fake clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/capture_error.h"
#include "capture/window_recorder.h"
#include "fakes/fake_capture.h"
#include "fakes/fake_platform.h"

namespace {

using capture::WindowRecorder;

platform::ShareableWindow windowAt(double x, double y, double width, double height) {
    platform::ShareableWindow window;
    window.windowID = 7;
    window.owningApplication = platform::RunningApplication{4242, "org.example.Editor", "Editor"};
    window.frame = {x, y, width, height};
    window.title = "Untitled";
    return window;
}

class Recorder : public testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeCapturePlatform desktop;

    fakes::FakeCaptureStream& stream() { return *desktop.capture.lastStream; }
    fakes::FakeMovie& movie() { return *desktop.movies.movies.back(); }

    void expectError(const std::function<void()>& body, const std::string& description, const std::string& code) {
        try {
            body();
            ADD_FAILURE() << "no error; expected " << description;
        } catch (const CaptureError& error) {
            EXPECT_EQ(error.description(), description);
            EXPECT_EQ(error.code(), code);
        }
    }
};

TEST_F(Recorder, AWholeWindowIsRecordedAtItsPixelSizeWithTheQuarterBitRate) {
    desktop.capture.scale = 2;
    WindowRecorder recorder(windowAt(10, 20, 800, 600), "/tmp/unused.mov", 60);

    EXPECT_EQ(recorder.pixelSize().width, 1600);
    EXPECT_EQ(recorder.pixelSize().height, 1200);
    EXPECT_EQ(recorder.scale(), 2);
    EXPECT_EQ(recorder.contentRect().x, 10);
    EXPECT_EQ(recorder.contentRect().width, 800);
    const auto& settings = *movie().settings;
    EXPECT_EQ(settings.averageBitRate, int64_t{1600} * 1200 * 60 / 4);
    EXPECT_EQ(settings.expectedSourceFrameRate, 60);

    const auto& configuration = stream().configuration;
    EXPECT_EQ(configuration.width, 1600);
    EXPECT_EQ(configuration.height, 1200);
    EXPECT_FALSE(configuration.sourceRect.has_value());
    EXPECT_FALSE(configuration.showsCursor);
    EXPECT_TRUE(configuration.clearBackground);
    EXPECT_EQ(configuration.minimumFrameIntervalTimescale, 60);
    EXPECT_EQ(configuration.queueDepth, 8);
}

TEST_F(Recorder, ASmallWindowGetsTheFloorRateAndAnOddSizeStaysOdd) {
    WindowRecorder recorder(windowAt(0, 0, 200.5, 99), "/tmp/unused.mov", 30);
    EXPECT_EQ(recorder.pixelSize().width, 201);  // halves round away from zero
    EXPECT_EQ(recorder.pixelSize().height, 99);
    EXPECT_EQ(movie().settings->averageBitRate, 8'000'000);
}

TEST_F(Recorder, TheReportedSizeIsTheMoviesWhenTheEncoderRoundsItUp) {
    desktop.movies.evenMovieSizes = true;
    WindowRecorder recorder(windowAt(0, 0, 200.5, 99), "/tmp/unused.mov", 30);
    EXPECT_EQ(stream().configuration.width, 201);  // frames keep the window's size
    EXPECT_EQ(recorder.pixelSize().width, 202);
    EXPECT_EQ(recorder.pixelSize().height, 100);
}

TEST_F(Recorder, ASourceRectangleIsClippedToTheWindowAndGetsEvenPixels) {
    {
        WindowRecorder recorder(windowAt(100, 50, 400, 300), jobs::Rect{-20, 10, 120.25, 50}, "/tmp/unused.mov", 30);
        EXPECT_EQ(recorder.contentRect().x, 100);
        EXPECT_EQ(recorder.contentRect().y, 60);
        EXPECT_EQ(recorder.contentRect().width, 100.25);
        EXPECT_EQ(recorder.pixelSize().width, 100);
        EXPECT_EQ(recorder.pixelSize().height, 50);
        const auto& configuration = stream().configuration;
        ASSERT_TRUE(configuration.sourceRect.has_value());
        EXPECT_EQ(configuration.sourceRect->x, 0);
        EXPECT_EQ(configuration.sourceRect->y, 10);
        EXPECT_FALSE(configuration.clearBackground);
    }
    WindowRecorder odd(windowAt(0, 0, 400, 300), jobs::Rect{0, 0, 101, 51}, "/tmp/unused.mov", 30);
    EXPECT_EQ(odd.pixelSize().width, 102);
    EXPECT_EQ(odd.pixelSize().height, 52);
}

TEST_F(Recorder, ARegionOverlappingLessThanSixteenPointsIsOutsideTheWindow) {
    const auto window = windowAt(0, 0, 400, 300);
    for (const jobs::Rect rect : {jobs::Rect{500, 0, 50, 50}, jobs::Rect{384.1, 0, 100, 100},
                                  jobs::Rect{0, -84.1, 100, 100}, jobs::Rect{0, 0, 0, 0},
                                  jobs::Rect{0, 0, std::nan(""), 20}}) {
        expectError([&] { WindowRecorder(window, rect, "/tmp/unused.mov", 30); }, "the region is outside the window",
                    "bad_request");
    }
    EXPECT_TRUE(desktop.movies.movies.empty()) << "nothing is written for a region outside the window";
    WindowRecorder exact(window, jobs::Rect{384, 284, 100, 100}, "/tmp/unused.mov", 30);
    EXPECT_EQ(exact.contentRect().width, 16);
    EXPECT_EQ(exact.contentRect().height, 16);
}

TEST_F(Recorder, ADisplayIsRecordedWithTheCursorLeavingOutTheGivenApplications) {
    platform::ShareableDisplay display{1, {0, 0, 1440, 900}, true};
    WindowRecorder recorder(display, {platform::RunningApplication{99, "quorrel", "quorrel"}}, "/tmp/unused.mov", 60);
    EXPECT_TRUE(stream().configuration.showsCursor);
    EXPECT_FALSE(stream().configuration.clearBackground);
    ASSERT_EQ(stream().filter.excludedApplications.size(), 1u);
    EXPECT_EQ(stream().filter.excludedApplications[0].processID, 99);
    EXPECT_EQ(recorder.pixelSize().width, 1440);
}

TEST_F(Recorder, ConstructionReplacesAnExistingFileAndReportsWriterAndStreamFailures) {
    const auto path = std::filesystem::temp_directory_path() / "capture_recorder_test_existing.mov";
    std::ofstream(path) << "old movie";
    WindowRecorder recorder(windowAt(0, 0, 400, 300), path.string(), 30);
    EXPECT_FALSE(std::filesystem::exists(path));
    WindowRecorder missing(windowAt(0, 0, 400, 300), path.string(), 30);  // a missing file is no error

    desktop.movies.refuseInput = true;
    expectError([&] { WindowRecorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30); },
                "cannot configure the video writer", "external");
    desktop.movies.refuseInput = false;
    desktop.capture.streamError = "X11: the window is gone";
    EXPECT_THROW(WindowRecorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30), std::runtime_error);
    desktop.capture.streamError.reset();
    expectError([&] { WindowRecorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 0); },
                "fps must be a whole number from 1 to 2147483647", "bad_request");
}

TEST_F(Recorder, StartFailsWithTheWritersErrorOrFailed) {
    desktop.movies.failStart = true;
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    expectError([&] { recorder.start(); }, "writer: failed", "external");
    desktop.movies.writerError = "cannot open /nowhere/x.mov";
    expectError([&] { recorder.start(); }, "writer: cannot open /nowhere/x.mov", "external");
    EXPECT_FALSE(stream().started);
}

TEST_F(Recorder, TheFirstCompleteFrameStartsTheTimelineAndLaterFramesMustMoveForward) {
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    EXPECT_FALSE(recorder.startHostSeconds().has_value());

    platform.clock.host = 1000.5;
    platform.clock.epoch = 1.7e9;
    stream().deliverIdle(1000.0);                                              // idle: ignored
    stream().deliver({platform::FrameStatus::complete, std::nullopt, 1000.1});  // no pixels: ignored
    EXPECT_FALSE(recorder.startHostSeconds().has_value());

    stream().deliverComplete(1000.2);
    EXPECT_EQ(recorder.startHostSeconds(), 1000.2);
    EXPECT_NEAR(*recorder.firstFrameEpoch(), 1.7e9 - 0.3, 1e-6);  // the frame was 0.3 s old
    EXPECT_EQ(movie().sessionStart, 1000.2);

    stream().deliverComplete(1000.2);  // not later: dropped
    stream().deliverComplete(1000.1);  // earlier: dropped
    stream().deliverComplete(1000.3);
    desktop.movies.ready = false;
    stream().deliverComplete(1000.4);  // the encoder is behind: dropped
    desktop.movies.ready = true;
    stream().deliverComplete(1000.5);
    EXPECT_EQ(recorder.frames(), 3);
    EXPECT_EQ(movie().appendedTimes, (std::vector<double>{1000.2, 1000.3, 1000.5}));
    EXPECT_EQ(recorder.startHostSeconds(), 1000.2) << "the first frame's time never changes";
}

TEST_F(Recorder, AFrameFromTheFutureGivesAnEpochOfNow) {
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    platform.clock.host = 1000;
    stream().deliverComplete(1000.25);
    EXPECT_EQ(recorder.firstFrameEpoch(), platform.clock.epoch);
}

TEST_F(Recorder, StopEndsTheMovieAtTheLaterOfNowAndTheLastFrame) {
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    stream().deliverComplete(1001.0);
    stream().deliverComplete(1001.5);
    platform.clock.host = 1004.0;  // a still window: no frames for 2.5 s
    EXPECT_DOUBLE_EQ(recorder.stop(), 3.0);
    EXPECT_EQ(movie().sessionEnd, 1004.0);
    EXPECT_TRUE(movie().markedFinished);
    EXPECT_TRUE(movie().finished);
    EXPECT_GE(stream().stops, 1);
    EXPECT_EQ(recorder.frames(), 2);

    WindowRecorder ahead(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    ahead.start();
    stream().deliverComplete(1004.0);
    stream().deliverComplete(1005.0);  // stamped after the clock's now
    EXPECT_DOUBLE_EQ(ahead.stop(), 1.0);
    EXPECT_EQ(movie().sessionEnd, 1005.0);
}

TEST_F(Recorder, StopReportsTheFirstAppendFailureBeforeAnythingElse) {
    desktop.movies.failAppendsFrom = 1;
    desktop.movies.writerError = "HEVC encoder: out of memory";
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    stream().deliverComplete(1001.0);
    stream().deliverComplete(1001.1);
    desktop.movies.writerError = "a later failure";
    stream().deliverComplete(1001.2);  // frames keep being handled after a failure
    EXPECT_EQ(desktop.movies.appendCalls, 3);
    stream().stopThrows = true;  // ignored
    expectError([&] { recorder.stop(); }, "HEVC encoder: out of memory", "external");
    EXPECT_FALSE(movie().markedFinished) << "the movie is left unfinished";
    EXPECT_EQ(recorder.frames(), 1);
}

TEST_F(Recorder, AnAppendFailureWithoutAWriterErrorHasItsOwnMessage) {
    desktop.movies.failAppendsFrom = 0;
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    stream().deliverComplete(1001.0);
    expectError([&] { recorder.stop(); }, "could not append a frame", "external");
}

TEST_F(Recorder, StopWithoutFramesOrWithAFailedWriterThrows) {
    WindowRecorder empty(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    empty.start();
    stream().deliverIdle(1001.0);
    expectError([&] { empty.stop(); }, "no frames were captured (is the window visible?)", "external");

    desktop.movies.failFinish = true;
    WindowRecorder broken(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    broken.start();
    stream().deliverComplete(1001.0);
    expectError([&] { broken.stop(); }, "writer: did not complete", "external");
    desktop.movies.writerError = "mov muxer: No space left on device";
    WindowRecorder full(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    full.start();
    stream().deliverComplete(1001.0);
    expectError([&] { full.stop(); }, "writer: mov muxer: No space left on device", "external");
}

TEST_F(Recorder, WaitForFirstFramePollsEveryTwentyMillisecondsUntilTheTimeout) {
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    EXPECT_FALSE(recorder.waitForFirstFrame(0));
    EXPECT_TRUE(platform.clock.sleeps.empty());

    const double before = platform.clock.host;
    EXPECT_FALSE(recorder.waitForFirstFrame(5));
    EXPECT_NEAR(platform.clock.host - before, 5, 0.021);
    ASSERT_FALSE(platform.clock.sleeps.empty());
    EXPECT_EQ(platform.clock.sleeps.front(), 0.02);

    stream().deliverComplete(platform.clock.host);
    platform.clock.sleeps.clear();
    EXPECT_TRUE(recorder.waitForFirstFrame(5));
    EXPECT_TRUE(platform.clock.sleeps.empty());
}

}  // namespace

namespace {

TEST_F(Recorder, FinishingNowEndsTheMovieAtOnceDropsLaterFramesAndIsNotFinishedTwice) {
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    stream().deliverComplete(1000.2);
    stream().deliverComplete(1000.3);
    platform.clock.host = 1001;
    recorder.finishNow();  // the desktop went away: the stream is left alone
    EXPECT_TRUE(movie().markedFinished);
    EXPECT_TRUE(movie().finished);
    EXPECT_EQ(movie().sessionEnd, 1001);

    stream().deliverComplete(1000.4);  // a frame still in flight is not appended to a finished movie
    EXPECT_EQ(movie().appendedTimes, (std::vector<double>{1000.2, 1000.3}));
    recorder.finishNow();  // a second report changes nothing
    EXPECT_EQ(movie().sessionEnd, 1001);
    expectError([&] { recorder.stop(); }, "the recording was ended early", "external");
}

TEST_F(Recorder, FinishingNowWithoutAFrameLeavesTheMovieUnfinished) {
    WindowRecorder recorder(windowAt(0, 0, 400, 300), "/tmp/unused.mov", 30);
    recorder.start();
    recorder.finishNow();
    EXPECT_FALSE(movie().finished);
}

}  // namespace
