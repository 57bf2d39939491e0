// The X server dying while the tool records: an error line with the code "external", exit status 1, and
// what was recorded kept as a movie that decodes. The test makes a private X server of its own to kill.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "fault_run.h"

extern char** environ;

namespace {

using nlohmann::json;

// An Xvfb on a free display number, killed outright on demand or when the object goes.
class PrivateXServer {
public:
    PrivateXServer() {
        int ends[2];
        if (::pipe(ends) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        const std::string fd = std::to_string(ends[1]);
        std::vector<std::string> argv{"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
        std::vector<char*> pointers;
        for (auto& argument : argv) pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        const int failed = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, pointers.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        if (failed) {
            ::close(ends[0]);
            pid_ = -1;
            return;
        }
        std::string number;
        char c;
        while (::read(ends[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(ends[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~PrivateXServer() { kill(); }

    const std::string& display() const { return display_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Sets an environment variable for the scope (the test window inherits this process's environment).
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(XServerFault, TheXServerKilledMidRecordingGivesAnErrorLineAndKeepsWhatWasRecorded) {
    PrivateXServer server;
    ASSERT_FALSE(server.display().empty()) << "no private X server";
    support::TempDir dir;
    const std::string out = dir.path() + "/movie.mov";
    std::optional<capture_test::TestWindowProcess> window;
    {
        ScopedVariable display("DISPLAY", server.display());
        window.emplace(std::vector<std::string>{"--animate", "--fps", "30", "--size", "320x240"});
    }
    faults::ToolRecording tool(faults::regionJob(*window, out, 30, 60), {{"DISPLAY", server.display()}});
    ASSERT_TRUE(tool.waitUntilRecording());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    server.kill();

    EXPECT_EQ(tool.wait(30), 1);
    json last = tool.lastLine();
    EXPECT_EQ(last["type"], "error") << last;
    EXPECT_EQ(last["code"], "external") << last;
    EXPECT_EQ(last["message"], "lost the connection to the X display");
    const auto decoded = capture_test::decodeMovie(out);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_GE(decoded.endSeconds, 1.0) << "what was recorded before the server died is kept";
    EXPECT_TRUE(tool.leftProcesses().empty());
    window->end();
}

}  // namespace
