// The window recorder and the FFmpeg movie writer on a real X server with the real encoder; every movie is
// read back with FFmpeg's own tools. Runs inside the private virtual desktop.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "base/capture_error.h"
#include "capture/window_recorder.h"
#include "movie_probe.h"
#include "platform/linux/ffmpeg/ffmpeg_movie_writer.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "support/child_process.h"
#include "support/tool_process.h"
#include "test_window_process.h"

namespace {

using capture::WindowRecorder;
using capture_test::decodeMovie;
using capture_test::probeMovie;
using capture_test::TestWindowProcess;

void sleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

class MovieRecording : public testing::Test {
protected:
    static void SetUpTestSuite() { platform::installSystemServices(); }

    std::string moviePath(const std::string& name) const { return folder_.path() + "/" + name; }

    platform::ShareableWindow windowOf(const TestWindowProcess& process) {
        for (const auto& window : platform::services().capture->shareableContent().windows) {
            if (window.windowID == process.window) return window;
        }
        throw std::runtime_error("the test window is not capturable");
    }

    support::TempDir folder_;
};

// What the recorder would give a writer for frames of `width` × `height` at `fps`.
platform::VideoSettings videoSettings(int width, int height, int fps) {
    platform::VideoSettings settings;
    settings.width = width;
    settings.height = height;
    settings.averageBitRate = capture::recordingBitRate(width, height, fps);
    settings.expectedSourceFrameRate = fps;
    return settings;
}

// A frame whose pattern moves with `index`, so that every frame differs from the one before.
platform::PixelBuffer syntheticFrame(int width, int height, int index) {
    auto pixels = std::make_shared<std::vector<uint8_t>>(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = pixels->data() + (size_t(y) * width + x) * 4;
            pixel[0] = uint8_t((x + index * 7) & 0xff);
            pixel[1] = uint8_t((y * 2 + index * 3) & 0xff);
            pixel[2] = uint8_t(((x ^ y) + index) & 0xff);
            pixel[3] = 0xff;
        }
    }
    return {{pixels->data(), width, height, width * 4}, pixels, 0, std::nullopt};
}

TEST_F(MovieRecording, TheWriterMakesAnOrdinaryHevcQuickTimeMovieWhoseLastFrameLastsUntilTheEnd) {
    for (const auto& [width, height] : {std::pair{320, 240}, std::pair{161, 121}}) {
        const auto path = moviePath("synthetic-" + std::to_string(width) + ".mov");
        platform::linux_desktop::FfmpegMovieWriter writer(path);
        ASSERT_TRUE(writer.addVideoInput(videoSettings(width, height, 30)));
        ASSERT_TRUE(writer.startWriting()) << writer.error().value_or("");
        writer.startSession(100.0);
        // 20 frames at 30 fps, a still second, 10 more frames, then 0.7 s until the end.
        int appended = 0;
        double time = 100.0;
        for (int index = 0; index < 30; ++index) {
            while (!writer.isReadyForMoreMediaData()) sleepSeconds(0.005);  // offline: wait instead of dropping
            ASSERT_TRUE(writer.append(syntheticFrame(width, height, index), time));
            ++appended;
            time += index == 19 ? 1.0 : 1.0 / 30;
        }
        const double end = time - 1.0 / 30 + 0.7;
        writer.markAsFinished();
        writer.endSession(end);
        writer.finishWriting();
        ASSERT_EQ(writer.status(), platform::WriterStatus::completed) << writer.error().value_or("");

        const auto facts = probeMovie(path);
        ASSERT_TRUE(facts.readable);
        EXPECT_EQ(facts.majorBrand, "qt  ");
        EXPECT_EQ(facts.codecName, "hevc");
        EXPECT_EQ(facts.codecTag, "hvc1");
        EXPECT_EQ(facts.width, width + width % 2) << "an odd size is encoded one pixel larger";
        EXPECT_EQ(facts.height, height + height % 2);
        EXPECT_EQ(facts.frameCount, appended);
        EXPECT_NEAR(facts.streamSeconds, end - 100.0, 0.002);
        EXPECT_FALSE(facts.hasBFrames);
        EXPECT_FALSE(facts.fragmented) << "a finished movie is an ordinary one";
        const auto decoded = decodeMovie(path);
        EXPECT_EQ(decoded.errors, "");
        EXPECT_EQ(decoded.frames, appended);
        EXPECT_FALSE(std::filesystem::exists(folder_.path() + "/.synthetic-" + std::to_string(width) +
                                             ".mov.finishing"));
    }
}

// Flat blocks of colour on grey, a frame that a test changes block by block.
struct BlockFrame {
    int width, height;
    std::shared_ptr<std::vector<uint8_t>> pixels;

    BlockFrame(int width, int height)
        : width(width), height(height), pixels(std::make_shared<std::vector<uint8_t>>(size_t(width) * height * 4)) {
        fill({0, 0, width, height}, {128, 128, 128});
    }
    void fill(const platform::PixelRect& area, std::array<uint8_t, 3> bgr) {
        for (int y = area.y; y < area.y + area.height; ++y) {
            for (int x = area.x; x < area.x + area.width; ++x) {
                uint8_t* pixel = pixels->data() + (size_t(y) * width + x) * 4;
                std::copy(bgr.begin(), bgr.end(), pixel);
                pixel[3] = 0xff;
            }
        }
    }
    // A copy of the pixels as one frame of a stream, with its number and what it says changed.
    platform::PixelBuffer buffer(uint64_t sequence, std::optional<std::vector<platform::PixelRect>> changed) const {
        auto copy = std::make_shared<std::vector<uint8_t>>(*pixels);
        return {{copy->data(), width, height, width * 4}, copy, sequence, std::move(changed)};
    }
};

// The writer brings its picture up to date only where a frame says it changed, and only when it saw the
// frame before; each decoded frame must look like the frame that went in, to the last column of an odd size.
TEST_F(MovieRecording, FramesThatSayWhereTheyChangedAreCodedAsTheyLook) {
    const int width = 161, height = 121;
    const auto path = moviePath("changes.mov");
    platform::linux_desktop::FfmpegMovieWriter writer(path);
    ASSERT_TRUE(writer.addVideoInput(videoSettings(width, height, 30)));
    ASSERT_TRUE(writer.startWriting()) << writer.error().value_or("");
    writer.startSession(50.0);

    BlockFrame frame(width, height);
    std::vector<std::vector<uint8_t>> expected;
    double time = 50.0;
    const auto append = [&](uint64_t sequence, std::optional<std::vector<platform::PixelRect>> changed) {
        while (!writer.isReadyForMoreMediaData()) sleepSeconds(0.005);
        ASSERT_TRUE(writer.append(frame.buffer(sequence, std::move(changed)), time));
        expected.push_back(*frame.pixels);
        time += 1.0 / 30;
    };
    frame.fill({10, 10, 40, 40}, {40, 40, 200});
    append(1, std::nullopt);
    frame.fill({101, 81, 60, 40}, {60, 180, 40});  // at the odd right and bottom edges
    append(2, std::vector<platform::PixelRect>{{101, 81, 60, 40}});
    frame.fill({10, 10, 40, 40}, {200, 60, 40});
    frame.fill({61, 31, 15, 7}, {20, 20, 20});  // two areas, at odd places
    append(3, std::vector<platform::PixelRect>{{10, 10, 40, 40}, {61, 31, 15, 7}});
    // Frame 4 never reached the writer (dropped on the way): what frame 5 says is against a frame it never
    // saw, so all of it counts.
    frame.fill({0, 60, 80, 61}, {200, 200, 40});
    frame.fill({120, 0, 41, 30}, {40, 200, 200});
    append(5, std::vector<platform::PixelRect>{{120, 0, 41, 30}});
    writer.markAsFinished();
    writer.endSession(time);
    writer.finishWriting();
    ASSERT_EQ(writer.status(), platform::WriterStatus::completed) << writer.error().value_or("");

    const auto decoded = capture_test::decodeBgraFrames(path, width + 1, height + 1);
    ASSERT_EQ(decoded.size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        // Inside the blocks (two pixels in from every edge, where chroma and coding blur), within a few steps.
        int worst = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint8_t* want = expected[index].data() + (size_t(y) * width + x) * 4;
                bool inside = true;
                for (int dy = -2; dy <= 2 && inside; ++dy) {
                    for (int dx = -2; dx <= 2 && inside; ++dx) {
                        const int nx = std::clamp(x + dx, 0, width - 1), ny = std::clamp(y + dy, 0, height - 1);
                        inside = std::equal(want, want + 3, expected[index].data() + (size_t(ny) * width + nx) * 4);
                    }
                }
                if (!inside) continue;
                const uint8_t* got = decoded[index].data() + (size_t(y) * (width + 1) + x) * 4;
                for (int channel = 0; channel < 3; ++channel) worst = std::max(worst, std::abs(got[channel] - want[channel]));
            }
        }
        EXPECT_LE(worst, 12) << "frame " << index + 1;
    }
}

// A stream may deliver a region at its own size when that is not the movie's (101 points recorded as 102
// pixels): the writer scales such a frame to the movie, whole, whatever it says changed.
TEST_F(MovieRecording, AFrameOfAnotherSizeIsScaledToTheMovie) {
    const auto path = moviePath("scaled.mov");
    platform::linux_desktop::FfmpegMovieWriter writer(path);
    ASSERT_TRUE(writer.addVideoInput(videoSettings(200, 100, 30)));
    ASSERT_TRUE(writer.startWriting()) << writer.error().value_or("");
    writer.startSession(10.0);
    BlockFrame small(101, 51);
    small.fill({0, 0, 50, 51}, {40, 40, 200});
    small.fill({51, 0, 50, 51}, {40, 200, 40});
    ASSERT_TRUE(writer.append(small.buffer(1, std::nullopt), 10.0));
    BlockFrame same(200, 100);
    same.fill({0, 0, 200, 100}, {200, 60, 40});
    ASSERT_TRUE(writer.append(same.buffer(2, std::nullopt), 10.0 + 1.0 / 30));
    small.fill({0, 0, 101, 51}, {40, 40, 200});
    ASSERT_TRUE(writer.append(small.buffer(3, std::vector<platform::PixelRect>{{0, 0, 1, 1}}), 10.0 + 2.0 / 30));
    writer.markAsFinished();
    writer.endSession(10.0 + 3.0 / 30);
    writer.finishWriting();
    ASSERT_EQ(writer.status(), platform::WriterStatus::completed) << writer.error().value_or("");

    const auto decoded = capture_test::decodeBgraFrames(path, 200, 100);
    ASSERT_EQ(decoded.size(), 3u);
    const auto near = [](const std::vector<uint8_t>& frame, int x, int y, std::array<int, 3> bgr) {
        const uint8_t* got = frame.data() + (size_t(y) * 200 + x) * 4;
        for (int channel = 0; channel < 3; ++channel)
            if (std::abs(got[channel] - bgr[channel]) > 12) return false;
        return true;
    };
    EXPECT_TRUE(near(decoded[0], 20, 50, {40, 40, 200}) && near(decoded[0], 90, 90, {40, 40, 200}));
    EXPECT_TRUE(near(decoded[0], 110, 10, {40, 200, 40}) && near(decoded[0], 190, 50, {40, 200, 40}));
    EXPECT_TRUE(near(decoded[1], 20, 50, {200, 60, 40}) && near(decoded[1], 190, 50, {200, 60, 40}));
    // All of the third frame, though it says only its corner changed since the second.
    EXPECT_TRUE(near(decoded[2], 20, 50, {40, 40, 200}) && near(decoded[2], 190, 50, {40, 40, 200}));
}

// Captured frames come a few milliseconds off their step, two now and then within one step of the frame
// rate. The fragmented file left by a kill (here: a writer dropped unfinished) has no index of sample times,
// so ffmpeg reads it at the declared rate: two frames in one step read back as timestamps that do not
// increase, unless the writer put them on separate steps.
TEST_F(MovieRecording, JitteredFramesLeaveAFragmentedMovieWhoseTimestampsIncrease) {
    const auto path = moviePath("jittered.mov");
    {
        platform::linux_desktop::FfmpegMovieWriter writer(path);
        ASSERT_TRUE(writer.addVideoInput(videoSettings(160, 120, 60)));
        ASSERT_TRUE(writer.startWriting());
        const double start = platform::services().clock->hostSeconds();
        writer.startSession(start);
        // Frames 8 to 30 ms apart, as a busy machine delivers them at 60 fps; a fixed sequence.
        double at = start;
        uint32_t random = 12345;
        for (int index = 0; index < 120; ++index) {
            while (!writer.isReadyForMoreMediaData()) sleepSeconds(0.002);
            ASSERT_TRUE(writer.append(syntheticFrame(160, 120, index), at));
            random = random * 1103515245u + 12345u;
            at += 0.008 + 0.022 * ((random >> 16) % 1000) / 1000.0;
        }
        sleepSeconds(1.0);  // the still stretch puts every frame on disk
    }
    EXPECT_TRUE(probeMovie(path).fragmented);
    const auto decoded = decodeMovie(path);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_EQ(decoded.frames, 120);
}

TEST_F(MovieRecording, WhileIdleTheWriterPutsEveryFrameOnDiskAndTheGapSurvivesIntoTheFinishedMovie) {
    const auto path = moviePath("idle.mov");
    platform::linux_desktop::FfmpegMovieWriter writer(path);
    ASSERT_TRUE(writer.addVideoInput(videoSettings(160, 120, 30)));
    ASSERT_TRUE(writer.startWriting());
    const double start = platform::services().clock->hostSeconds();
    writer.startSession(start);
    const auto appendFrames = [&](int first, int count, double at) {
        for (int index = first; index < first + count; ++index) {
            while (!writer.isReadyForMoreMediaData()) sleepSeconds(0.005);
            ASSERT_TRUE(writer.append(syntheticFrame(160, 120, index), at + (index - first) / 30.0));
        }
    };
    appendFrames(0, 10, start);

    // The writer is still open: what it holds reaches the file once nothing new comes for a while.
    bool allOnDisk = false;
    for (int attempt = 0; attempt < 100 && !allOnDisk; ++attempt) {
        sleepSeconds(0.1);
        allOnDisk = decodeMovie(path).frames == 10;
    }
    EXPECT_TRUE(allOnDisk) << "the frames held in the encoder were not written during the still stretch";
    EXPECT_EQ(decodeMovie(path).errors, "");

    appendFrames(10, 5, start + 12.0);
    writer.markAsFinished();
    writer.endSession(start + 13.0);
    writer.finishWriting();
    ASSERT_EQ(writer.status(), platform::WriterStatus::completed) << writer.error().value_or("");
    const auto facts = probeMovie(path);
    EXPECT_EQ(facts.frameCount, 15);
    EXPECT_NEAR(facts.streamSeconds, 13.0, 0.002);
    EXPECT_FALSE(facts.fragmented);
    const auto frames = support::runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                             "packet=pts_time,flags", "-of", "csv=p=0", path});
    const auto lines = frames.lines();
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_NEAR(std::stod(lines[9]), 9 / 30.0, 0.001);
    EXPECT_NEAR(std::stod(lines[10]), 12.0, 0.001) << "the frame after the still stretch keeps its time";
    // The encoder went on through the still stretch: the only keyframe is the first frame.
    for (size_t index = 0; index < lines.size(); ++index) {
        EXPECT_EQ(lines[index].find(",K") != std::string::npos, index == 0) << "frame " << index << ": " << lines[index];
    }
    EXPECT_EQ(decodeMovie(path).errors, "");
}

TEST_F(MovieRecording, ARepaintingWindowGivesAMovieOfTheReportedSizeFramesAndDuration) {
    TestWindowProcess window({"--size", "320x240", "--animate", "--fps", "30"});
    const auto path = moviePath("animated.mov");
    WindowRecorder recorder(windowOf(window), path, 30);
    recorder.start();
    ASSERT_TRUE(recorder.waitForFirstFrame(5));
    sleepSeconds(2.5);
    const double duration = recorder.stop();
    EXPECT_GE(duration, 2.5);

    const auto facts = probeMovie(path);
    ASSERT_TRUE(facts.readable);
    EXPECT_EQ(facts.codecName, "hevc");
    EXPECT_EQ(facts.codecTag, "hvc1");
    EXPECT_EQ(facts.majorBrand, "qt  ");
    EXPECT_EQ(facts.width, int(recorder.pixelSize().width));
    EXPECT_EQ(facts.height, int(recorder.pixelSize().height));
    // The movie is the window's frame: the 320-pixel client with the window manager's borders (even).
    const int frameWidth = int(recorder.contentRect().width);
    EXPECT_GE(frameWidth, 320);
    EXPECT_EQ(facts.width, (frameWidth + 1) / 2 * 2);
    EXPECT_EQ(facts.frameCount, recorder.frames());
    EXPECT_GT(recorder.frames(), 1);
    EXPECT_NEAR(facts.streamSeconds, duration, 1.0 / 30);
    EXPECT_NEAR(facts.formatSeconds, duration, 1.0 / 30);
    const auto decoded = decodeMovie(path);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_EQ(decoded.frames, recorder.frames());
}

TEST_F(MovieRecording, AStillWindowGivesFewFramesButTheMovieLastsUntilTheStopAndReplacesAnOldFile) {
    TestWindowProcess window({"--size", "240x160"});
    window.settle();
    const auto path = moviePath("still.mov");
    std::ofstream(path) << "an old file that is not a movie";
    WindowRecorder recorder(windowOf(window), path, 30);
    EXPECT_FALSE(std::filesystem::exists(path)) << "the old file goes at construction";
    recorder.start();
    ASSERT_TRUE(recorder.waitForFirstFrame(5));
    sleepSeconds(2.0);
    const double duration = recorder.stop();
    EXPECT_GE(duration, 2.0);
    EXPECT_LT(recorder.frames(), 30 * 2 / 4) << "idle frames are not recorded";

    const auto facts = probeMovie(path);
    ASSERT_TRUE(facts.readable);
    EXPECT_EQ(facts.codecTag, "hvc1");
    EXPECT_EQ(facts.frameCount, recorder.frames());
    EXPECT_NEAR(facts.streamSeconds, duration, 1.0 / 30);
    EXPECT_EQ(decodeMovie(path).errors, "");
}

TEST_F(MovieRecording, ARegionIsRecordedAtAnEvenSizeAndARegionOutsideTheWindowFailsAtConstruction) {
    TestWindowProcess window({"--size", "300x200", "--animate", "--fps", "30"});
    const auto target = windowOf(window);
    const auto outside = moviePath("outside.mov");
    try {
        WindowRecorder recorder(target, jobs::Rect{290, 10, 100, 100}, outside, 30);
        FAIL() << "a region overlapping by 10 points was accepted";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(), "the region is outside the window");
        EXPECT_EQ(error.code(), "bad_request");
    }
    EXPECT_FALSE(std::filesystem::exists(outside));
    try {
        WindowRecorder recorder(target, moviePath("missing/region.mov"), 30);
        FAIL() << "a movie in a missing folder was accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("does not exist"), std::string::npos) << error.what();
    }

    const auto path = moviePath("region.mov");
    WindowRecorder recorder(target, jobs::Rect{10, 20, 101, 51}, path, 30);
    EXPECT_EQ(recorder.pixelSize().width, 102);
    EXPECT_EQ(recorder.pixelSize().height, 52);
    recorder.start();
    ASSERT_TRUE(recorder.waitForFirstFrame(5));
    sleepSeconds(1.0);
    const double duration = recorder.stop();
    const auto facts = probeMovie(path);
    EXPECT_EQ(facts.width, 102);
    EXPECT_EQ(facts.height, 52);
    EXPECT_EQ(facts.frameCount, recorder.frames());
    EXPECT_NEAR(facts.streamSeconds, duration, 1.0 / 30);
}

TEST_F(MovieRecording, ARecordingKilledOutrightLeavesAMovieThatDecodesUpToShortlyBeforeTheKill) {
    TestWindowProcess window({"--size", "320x240", "--animate", "--fps", "30"});
    const auto path = moviePath("killed.mov");
    // qc_record_window records the window until it is killed.
    support::ChildProcess recorder({QC_RECORD_WINDOW_PATH, std::to_string(window.window), path, "30", "600"});
    ASSERT_EQ(recorder.readLine(60), "recording") << "qc_record_window did not start recording";
    const auto started = std::chrono::steady_clock::now();
    sleepSeconds(4.0);
    recorder.signal(SIGKILL);
    const double recordedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(recorder.wait(30), 128 + SIGKILL);

    const auto facts = probeMovie(path);
    ASSERT_TRUE(facts.readable);
    EXPECT_TRUE(facts.fragmented);
    EXPECT_EQ(facts.codecTag, "hvc1");
    // The kill may cut the fragment being written: the decoder then complains about the file's end, and
    // everything before it still decodes.
    const auto decoded = decodeMovie(path);
    EXPECT_EQ(decoded.status, 0) << decoded.errors;
    EXPECT_GE(decoded.endSeconds, recordedSeconds - 1.5) << decoded.errors;
    EXPECT_GT(decoded.frames, 0);
}

}  // namespace
