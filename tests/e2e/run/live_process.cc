#include "live_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <stdexcept>

#include "support/tool_process.h"

namespace runtest {

double nowSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

LiveProcess::LiveProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& set,
                         const std::string& stderrPath)
    : protocol_(argv) {
    std::vector<std::string> envStrings = support::environmentWith(set);
    std::vector<std::string> argvCopy = argv;
    std::vector<char*> envp = support::nullTerminated(envStrings), args = support::nullTerminated(argvCopy);

    int outPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    outFd_ = outPipe[0];
}

LiveProcess::~LiveProcess() {
    stop();
    std::string output;
    for (const std::string& line : lines_) output += line + "\n";
    protocol_.finish(output, status_);
    if (outFd_ >= 0) close(outFd_);
}

void LiveProcess::closeOutput() {
    if (outFd_ >= 0) close(outFd_);
    outFd_ = -1;
}

std::optional<std::string> LiveProcess::readLine(double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    for (;;) {
        if (const auto newline = buffer_.find('\n'); newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            lines_.push_back(line);
            return line;
        }
        if (outFd_ < 0) return std::nullopt;
        const double left = deadline - nowSeconds();
        if (left <= 0) return std::nullopt;
        pollfd descriptor{outFd_, POLLIN, 0};
        const int ready = poll(&descriptor, 1, static_cast<int>(std::ceil(left * 1000)));
        if (ready <= 0) continue;
        char chunk[4096];
        const ssize_t n = read(outFd_, chunk, sizeof chunk);
        if (n <= 0) {
            close(outFd_);
            outFd_ = -1;
            if (!buffer_.empty()) {
                lines_.push_back(buffer_);
                std::string line = std::move(buffer_);
                buffer_.clear();
                return line;
            }
            return std::nullopt;
        }
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

int LiveProcess::wait(double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    while (!reaped_) {
        while (outFd_ >= 0 && readLine(std::max(0.01, deadline - nowSeconds()))) {
        }
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (nowSeconds() >= deadline) return -1;
        usleep(10000);
    }
    return status_;
}

void LiveProcess::stop() {
    if (reaped_ || pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            return;
        }
        usleep(20000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    reaped_ = true;
}

}  // namespace runtest
