// Faults a recording meets, end to end: the tool recording the animated test window in the virtual
// desktop while the window goes away or changes, while it is signalled, on full and read-only
// filesystems, and many times at once. Each checks the exit status, the last line, the movie with
// ffmpeg's decoder, and that no process of the tool and no temporary file is left.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fault_run.h"

namespace {

namespace fs = std::filesystem;
using capture_test::decodeMovie;
using capture_test::probeMovie;
using capture_test::TestWindowProcess;
using faults::ToolRecording;
using nlohmann::json;

void sleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

TestWindowProcess animatedWindow(const std::string& title, int fps = 30) {
    return TestWindowProcess({"--animate", "--fps", std::to_string(fps), "--size", "320x240", "--title", title});
}

// Nothing of the tool runs any more, and the folder holds `expected` and nothing else the tool made (the
// finished movie's temporary file above all).
void expectNothingLeft(const ToolRecording& tool, const std::string& folder, std::vector<std::string> expected) {
    EXPECT_TRUE(tool.leftProcesses().empty()) << "a process of the tool is still running";
    const std::vector<std::string> names = faults::namesIn(folder);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

// The movie decodes from start to end without a single complaint of the decoder, and lasts at least
// `atLeastSeconds`: up to its last decoded frame, or, for a finished movie, whose last frame lasts until the
// recording's end, as its index says.
void expectCleanMovie(const std::string& path, double atLeastSeconds, bool finished = true) {
    const auto decoded = decodeMovie(path);
    EXPECT_EQ(decoded.status, 0) << path;
    EXPECT_EQ(decoded.errors, "") << path;
    EXPECT_GT(decoded.frames, 0) << path;
    EXPECT_GE(finished ? probeMovie(path).formatSeconds : decoded.endSeconds, atLeastSeconds) << path;
}

class Faults : public testing::Test {
protected:
    support::TempDir dir;
    std::string path(const std::string& name) const { return dir.path() + "/" + name; }
};

// The window closing, minimised, moved off the screen or resized: the recording goes on to its planned
// end, holding the last picture it had, and the movie is finished.
TEST_F(Faults, TheWindowClosingOrChangingMidRecordingStillGivesAFinishedMovie) {
    for (const std::string change : {"close", "minimise", "off-screen", "resize"}) {
        SCOPED_TRACE(change);
        auto window = animatedWindow("Changing " + change);
        const std::string folder = path(change);
        fs::create_directories(folder);
        const std::string out = folder + "/movie.mov";
        ToolRecording tool(faults::regionJob(window, out, 30, 3));
        ASSERT_TRUE(tool.waitUntilRecording());
        sleepSeconds(1);
        const std::string id = std::to_string(window.window);
        if (change == "close") window.end();
        if (change == "minimise") support::runProgram({"xdotool", "windowminimize", id});
        if (change == "off-screen") support::runProgram({"xdotool", "windowmove", id, "5000", "5000"});
        if (change == "resize") support::runProgram({"xdotool", "windowsize", id, "160", "120"});
        EXPECT_EQ(tool.wait(), 0);
        json last = tool.lastLine();
        EXPECT_EQ(last["type"], "result");
        EXPECT_EQ(last["output"], out);
        EXPECT_NEAR(last["durationSec"].get<double>(), 3, 0.5);
        EXPECT_FALSE(probeMovie(out).fragmented);
        expectCleanMovie(out, 2.5);
        expectNothingLeft(tool, folder, {"movie.mov"});
    }
}

TEST_F(Faults, SigtermAndSigintFinishTheMovieAndSayTheRecordingWasInterrupted) {
    // A test run started in the background has SIGINT ignored, and the tool would inherit that (it keeps an
    // ignored SIGINT ignored, as a background job expects).
    std::signal(SIGINT, SIG_DFL);
    auto window = animatedWindow("Interrupted");
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string out = path(std::string("interrupted-") + std::to_string(signal) + ".mov");
        ToolRecording tool(faults::regionJob(window, out, 30, 60));
        ASSERT_TRUE(tool.waitUntilRecording());
        sleepSeconds(2);
        ::kill(tool.process().pid(), signal);
        EXPECT_EQ(tool.wait(), 1);
        EXPECT_EQ(tool.lastLine(),
                  json({{"type", "error"}, {"code", "external"}, {"message", "the recording was interrupted"}}));
        const auto facts = probeMovie(out);
        EXPECT_TRUE(facts.readable);
        EXPECT_FALSE(facts.fragmented) << "an ordinary movie, not the fragments written while recording";
        expectCleanMovie(out, 1.5);
        fs::remove(out);
        expectNothingLeft(tool, dir.path(), {});
    }
}

// Killed outright, the tool cannot finish anything: the fragments written while recording are the movie,
// and they read back to within a second and a half of the kill without one decoder complaint.
TEST_F(Faults, SigkillAfterTenSecondsAtSixtyFramesLeavesAMovieThatDecodesCleanly) {
    auto window = animatedWindow("Killed", 60);
    const std::string out = path("killed.mov");
    ToolRecording tool(faults::regionJob(window, out, 60, 60));
    ASSERT_TRUE(tool.waitUntilRecording());
    sleepSeconds(10);
    ::kill(tool.process().pid(), SIGKILL);
    EXPECT_EQ(tool.wait(), 128 + SIGKILL);
    EXPECT_TRUE(probeMovie(out).fragmented);
    expectCleanMovie(out, 8.5, /*finished=*/false);
    expectNothingLeft(tool, dir.path(), {"killed.mov"});
}

// A full disk before the start, a read-only folder, and a disk that fills while recording: a clear error
// naming the movie's path, exit status 1, no result line. A filling disk ends the recording at once.
TEST_F(Faults, FullAndReadOnlyFilesystemsGiveAnErrorNamingTheMovie) {
    faults::SmallFilesystem full(path("full"), "size=512k");
    if (!full.mounted()) GTEST_SKIP() << "this test needs to mount a tmpfs (root in a mount namespace that allows it)";
    faults::SmallFilesystem readOnly(path("read-only"), "size=512k", /*readOnly=*/true);
    faults::SmallFilesystem filling(path("filling"), "size=128k");
    ASSERT_TRUE(readOnly.mounted() && filling.mounted());
    faults::fill(full.path(), "filler");
    auto window = animatedWindow("Disk", 60);

    for (const std::string& out : {full.path() + "/movie.mov", readOnly.path() + "/movie.mov"}) {
        ToolRecording tool(faults::regionJob(window, out, 30, 3));
        EXPECT_EQ(tool.wait(), 1) << out;
        json last = tool.lastLine();
        EXPECT_EQ(last["type"], "error") << out;
        EXPECT_NE(last.value("message", "").find(out), std::string::npos) << last;
        for (const auto& line : tool.process().lines()) EXPECT_EQ(line.find("\"result\""), std::string::npos);
        EXPECT_TRUE(tool.leftProcesses().empty());
    }
    EXPECT_FALSE(fs::exists(readOnly.path() + "/movie.mov"));

    const std::string out = filling.path() + "/movie.mov";
    ToolRecording tool(faults::regionJob(window, out, 60, 60));
    ASSERT_TRUE(tool.waitUntilRecording());
    const double started = support::nowSeconds();
    EXPECT_EQ(tool.wait(), 1);
    // The animation compresses to some 50 kB a second: the disk fills in seconds, the planned stop is a
    // minute away.
    EXPECT_LT(support::nowSeconds() - started, 30);
    json last = tool.lastLine();
    EXPECT_EQ(last["type"], "error");
    EXPECT_NE(last.value("message", "").find(out), std::string::npos) << last;
    expectNothingLeft(tool, filling.path(), {"movie.mov"});  // the fragments written; no temporary file
}

TEST_F(Faults, TwoRecordingsOfTheSameWindowAtOnceBothSucceed) {
    auto window = animatedWindow("Twice");
    ToolRecording first(faults::regionJob(window, path("first.mov"), 30, 3));
    ToolRecording second(faults::regionJob(window, path("second.mov"), 30, 3));
    for (ToolRecording* tool : {&first, &second}) {
        EXPECT_EQ(tool->wait(), 0);
        EXPECT_EQ(tool->lastLine()["type"], "result");
    }
    expectCleanMovie(path("first.mov"), 2.5);
    expectCleanMovie(path("second.mov"), 2.5);
    expectNothingLeft(first, dir.path(), {"first.mov", "second.mov"});
    EXPECT_TRUE(second.leftProcesses().empty());
}

TEST_F(Faults, TwentyWindowsCallsInParallelAllSucceed) {
    auto window = animatedWindow("Listed");
    std::vector<std::unique_ptr<support::ChildProcess>> calls;
    for (int i = 0; i < 20; ++i)
        calls.push_back(
            std::make_unique<support::ChildProcess>(std::vector<std::string>{support::toolPath(), "windows"}));
    for (auto& call : calls) {
        EXPECT_EQ(call->wait(60), 0);
        ASSERT_FALSE(call->lines().empty());
        json last = json::parse(call->lines().back(), nullptr, false);
        EXPECT_EQ(last["type"], "result") << call->lines().back();
        EXPECT_NE(call->lines().back().find("Listed"), std::string::npos);
    }
}

// Only nothing, a regular file, a link or an empty folder is replaced by the movie; a FIFO, a socket, a
// device or a folder with contents is refused before anything is recorded, and stays as it was. A started
// file that is a FIFO is refused before recording rather than blocking for ever.
TEST_F(Faults, WhatAMovieOrStartedFileMustNotReplaceIsRefusedAndLeftAlone) {
    const std::string fifo = path("fifo.mov"), socketPath = path("socket.mov"), device = path("null.mov"),
                      folder = path("folder.mov");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const bool madeDevice = ::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;  // as /dev/null
    fs::create_directories(folder + "/inside");
    std::vector<std::string> refused{fifo, socketPath, folder};
    if (madeDevice) refused.push_back(device);

    const json region = {{"pid", ::getpid()}, {"rect", {{"x", 0}, {"y", 0}, {"width", 100}, {"height", 100}}}};
    for (const std::string& out : refused) {
        ToolRecording tool({{"out", out}, {"durationSec", 1}, {"region", region}});
        EXPECT_EQ(tool.wait(), 1);
        EXPECT_EQ(tool.lastLine()["code"], "bad_request") << out;
        EXPECT_NE(tool.lastLine().value("message", "").find(out), std::string::npos) << tool.lastLine();
        EXPECT_EQ(tool.process().lines().size(), 1u);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_socket(socketPath));
    EXPECT_TRUE(fs::exists(folder + "/inside"));
    if (madeDevice) {
        EXPECT_TRUE(fs::is_character_file(device));
    }
    ::close(server);

    ToolRecording started({{"out", path("r.mov")}, {"startedFile", fifo}, {"region", region}});
    EXPECT_EQ(started.wait(30), 1) << "a FIFO as the started file held the tool";
    EXPECT_EQ(started.lastLine()["code"], "bad_request");
    EXPECT_NE(started.lastLine().value("message", "").find(fifo), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
