#include "fixture_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace e2e {

FixtureProcess::FixtureProcess(const std::string& path, const std::vector<std::string>& args) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    out_ = pipeEnds[0];
}

FixtureProcess::~FixtureProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

bool FixtureProcess::readMore(double timeoutSeconds) {
    pollfd poller{out_, POLLIN, 0};
    if (poll(&poller, 1, static_cast<int>(timeoutSeconds * 1000)) <= 0) return false;
    char buffer[4096];
    const ssize_t count = read(out_, buffer, sizeof buffer);
    if (count <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(count));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        lines_.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
    }
    return true;
}

nlohmann::json FixtureProcess::waitFor(const std::function<bool(const nlohmann::json&)>& wanted,
                                       double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (true) {
        for (; taken_ < lines_.size(); ++taken_) {
            const auto line = nlohmann::json::parse(lines_[taken_], nullptr, false);
            if (!line.is_discarded() && wanted(line)) {
                ++taken_;
                return line;
            }
        }
        const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 || !readMore(left)) return nullptr;
    }
}

nlohmann::json FixtureProcess::waitForEvent(const std::string& event, double timeoutSeconds) {
    return waitFor([&](const nlohmann::json& line) { return line.value("event", "") == event; }, timeoutSeconds);
}

std::string FixtureProcess::transcript() const {
    std::string text;
    for (const auto& line : lines_) text += line + "\n";
    return text;
}

}  // namespace e2e
