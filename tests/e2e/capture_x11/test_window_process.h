#pragma once
// Starts qc_test_window as a child process and reads where it appeared.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace capture_test {

class TestWindowProcess {
public:
    /// Starts the window with `arguments` and waits (up to 20 s) for its "ready" line.
    explicit TestWindowProcess(const std::vector<std::string>& arguments) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        std::vector<std::string> argv{QC_TEST_WINDOW_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<char*> pointers;
        for (auto& argument : argv) pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        const int failed = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        output_ = pipeEnds[0];
        if (failed) throw std::runtime_error("cannot start " + argv[0]);
        processId_ = pid_;
        readGeometry("ready", 20);
    }

    ~TestWindowProcess() {
        end();
        close(output_);
    }

    TestWindowProcess(const TestWindowProcess&) = delete;
    TestWindowProcess& operator=(const TestWindowProcess&) = delete;

    /// Kills the window's process and waits for it.
    void end() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    /// Reads lines until one starting with `word` arrives, and takes its geometry; false on timeout.
    bool readGeometry(const std::string& word, double timeoutSeconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        while (true) {
            for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                std::istringstream line(pending_.substr(0, end));
                pending_.erase(0, end + 1);
                std::string first;
                line >> first;
                if (first == word || first == "moved") {
                    line >> window >> x >> y >> width >> height;
                    if (first == word) return true;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                if (word == "ready") throw std::runtime_error("the test window did not appear");
                return false;
            }
            pollfd descriptor{output_, POLLIN, 0};
            if (poll(&descriptor, 1, int(left.count())) <= 0) continue;
            char buffer[512];
            const ssize_t count = read(output_, buffer, sizeof buffer);
            if (count <= 0) throw std::runtime_error("the test window ended");
            pending_.append(buffer, size_t(count));
        }
    }

    /// Takes in any geometry lines already written (the window manager may move the window once more).
    void settle() { readGeometry("none", 0.3); }

    /// The window's process id (still given after `end`).
    pid_t pid() const { return processId_; }

    unsigned long window = 0;
    int x = 0, y = 0, width = 0, height = 0;

private:
    pid_t pid_ = -1;
    pid_t processId_ = -1;
    int output_ = -1;
    std::string pending_;
};

}  // namespace capture_test
