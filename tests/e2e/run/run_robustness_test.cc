// Nothing hangs the tool and nothing kills it from outside: a stopped accessibility bus, a host that stops
// reading, a wait too long for the clocks, and a display server that dies mid-recording.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "run_desktop.h"
#include "support/child_process.h"
#include "support/fixture_process.h"
#include "support/private_x_server.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using runtest::RunFolder;
using support::ChildProcess;
using support::ChildStream;

// The processes of this virtual desktop whose command line contains `text`.
std::vector<pid_t> sessionProcesses(const std::string& text) {
    const char* session = std::getenv("QC_DESKTOP_SESSION");
    const std::string marker = std::string("QC_DESKTOP_SESSION=") + (session ? session : "");
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream commandFile(entry.path() / "cmdline", std::ios::binary);
        const std::string command((std::istreambuf_iterator<char>(commandFile)), std::istreambuf_iterator<char>());
        if (command.find(text) == std::string::npos) continue;
        std::ifstream environFile(entry.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(environFile, variable, '\0')) {
            if (variable == marker) found.push_back(std::stoi(name));
        }
    }
    return found;
}

// CPU seconds the process has used, from /proc/<pid>/stat.
double cpuSecondsOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15) ticks += std::stod(field);  // utime, stime
        if (index == 15) break;
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

TEST(Robustness, AStoppedAccessibilityBusGivesAnswersNotAHang) {
    const std::vector<pid_t> daemons = sessionProcesses("accessibility.conf");
    ASSERT_FALSE(daemons.empty()) << "no accessibility bus daemon in this desktop";
    for (pid_t pid : daemons) kill(pid, SIGSTOP);
    struct Resume {
        std::vector<pid_t> pids;
        ~Resume() {
            for (pid_t pid : pids) kill(pid, SIGCONT);
        }
    } resume{daemons};

    RunFolder folder;
    support::ToolOptions options;
    options.set = folder.environment();
    options.timeoutSeconds = 60;
    const auto permissions = support::runTool({"permissions"}, options);
    ASSERT_EQ(permissions.status, 0) << permissions.out << permissions.err;
    EXPECT_EQ(json::parse(permissions.out)["accessibility"], false);

    const auto run = support::runTool(
        {"run", folder.job({{"app", "Quorrel Fixture Entry"}, {"out", folder.path() + "/r.mov"}})}, options);
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_EQ(run.last()["code"], "permission");

    const auto inspect =
        support::runTool({"inspect", folder.job({{"app", "Quorrel Fixture Entry"}}, "i.json")}, options);
    EXPECT_EQ(inspect.status, 2) << inspect.out << inspect.err;
    EXPECT_EQ(inspect.last()["code"], "permission");
}

TEST(Robustness, AHostThatStopsReadingDoesNotEndTheRecordingAndTheMovieIsFinished) {
    RunFolder folder;
    const std::string out = folder.path() + "/closed.mov";
    // Without the accessibility bus: its library would ignore SIGPIPE for us, which hides the fault.
    auto environment = folder.environment();
    environment["DBUS_SESSION_BUS_ADDRESS"] = "";
    ChildProcess tool(
        {support::toolPath(), "run",
         folder.job({{"recordUser", true}, {"durationSec", 2}, {"fps", 10}, {"tailMs", 0}, {"out", out}})},
        {.set = environment, .err = ChildStream::file(folder.path() + "/stderr.txt")});
    ASSERT_TRUE(tool.readLine(60)) << "no first line";  // "Recording Display", before the recorder starts
    tool.closeOutput();  // the next line, "Recording your actions", meets a closed pipe mid-recording
    EXPECT_EQ(tool.wait(60), 0);
    const json movie = runtest::probeMovie(out);
    ASSERT_FALSE(movie.is_null()) << "no readable movie";
    EXPECT_GE(movie["duration"].get<double>(), 1.5);
    EXPECT_GE(movie["nb_read_frames"].get<int>(), 1);
    EXPECT_FALSE(fs::exists(folder.path() + "/.closed.mov.finishing"));
}

TEST(Robustness, AWaitTooLongForTheClocksWaitsQuietly) {
    RunFolder folder;
    support::FixtureProcess fixture({"--title", "Patient Fixture"});
    ASSERT_TRUE(fixture.ready());
    ChildProcess tool(
        {support::toolPath(), "run",
         folder.job({{"app", runtest::kFixtureId}, {"settleMs", 1e22}, {"out", folder.path() + "/p.mov"}})},
        {.set = folder.environment(), .err = ChildStream::file(folder.path() + "/stderr.txt")});
    ASSERT_TRUE(tool.waitFor([](const json& line) { return line.value("message", "").starts_with("Opening"); }, 60));
    std::this_thread::sleep_for(std::chrono::seconds(3));  // found the window, now settling
    const double before = cpuSecondsOf(tool.pid());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double used = cpuSecondsOf(tool.pid()) - before;
    EXPECT_LT(used, 0.5) << "the settle wait spins a core";
    EXPECT_EQ(tool.wait(0.1), -1) << "a wait of 1e22 ms ended early";
    tool.end();
}

TEST(Robustness, ADisplayServerThatDiesMidRecordingEndsTheRunWithAnErrorAndAFinishedMovie) {
    RunFolder folder;
    support::PrivateXServer server("320x240x24");
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    auto environment = folder.environment();
    environment["DISPLAY"] = server.display();
    environment["DBUS_SESSION_BUS_ADDRESS"] = "";  // no accessibility: only the recording runs
    const std::string out = folder.path() + "/lost.mov";
    ChildProcess tool({support::toolPath(), "run",
                       folder.job({{"recordUser", true}, {"durationSec", 60}, {"fps", 10}, {"out", out}})},
                      {.set = environment, .err = ChildStream::file(folder.path() + "/stderr.txt")});
    ASSERT_TRUE(
        tool.waitFor([](const json& line) { return line.value("message", "") == "Recording your actions"; }, 60));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    server.kill();
    EXPECT_EQ(tool.wait(30), 1);
    ASSERT_FALSE(tool.lines().empty());
    EXPECT_EQ(json::parse(tool.lines().back()),
              (json{{"type", "error"}, {"message", "lost the connection to the X display"}, {"code", "external"}}));
    const json movie = runtest::probeMovie(out);
    ASSERT_FALSE(movie.is_null()) << "no readable movie";
    EXPECT_GE(movie["duration"].get<double>(), 1.2);
    EXPECT_FALSE(fs::exists(folder.path() + "/.lost.mov.finishing"));
}

}  // namespace
