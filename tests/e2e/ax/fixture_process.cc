#include "fixture_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "ax/ax.h"

extern char** environ;

namespace e2e {
namespace {

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

FixtureProcess::FixtureProcess(const std::vector<std::string>& args) {
    std::vector<std::string> argv{QC_FIXTURE_APP};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int spawned = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start the fixture application");
    }
    out_ = pipeFds[0];
    ready_ = waitFor("ready", 20).has_value();
}

FixtureProcess::~FixtureProcess() {
    if (pid_ > 0) {
        if (frozen_) kill(pid_, SIGCONT);
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

void FixtureProcess::readAvailable(int timeoutMs) {
    pollfd fd{out_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return;
    char buffer[65536];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) return;
    pending_.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        auto parsed = nlohmann::json::parse(pending_.substr(0, end), nullptr, false);
        pending_.erase(0, end + 1);
        if (!parsed.is_discarded()) lines_.push_back(std::move(parsed));
    }
}

std::optional<nlohmann::json> FixtureProcess::waitFor(const std::string& event, double timeoutSeconds,
                                                      const std::function<bool(const nlohmann::json&)>& match) {
    const double deadline = nowSeconds() + timeoutSeconds;
    size_t next = taken_;
    while (true) {
        for (; next < lines_.size(); ++next) {
            const nlohmann::json& line = lines_[next];
            if (line.value("event", "") == event && (!match || match(line))) {
                taken_ = next + 1;
                return line;
            }
        }
        const double left = deadline - nowSeconds();
        if (left <= 0) return std::nullopt;
        readAvailable(static_cast<int>(left * 1000) + 1);
    }
}

nlohmann::json FixtureProcess::geometry() {
    readAvailable(0);
    for (auto line = lines_.rbegin(); line != lines_.rend(); ++line)
        if (line->value("event", "") == "geometry") return (*line)["widgets"];
    return nlohmann::json::object();
}

platform::Rect FixtureProcess::widget(const std::string& name) {
    const nlohmann::json rect = geometry().value(name, nlohmann::json::object());
    return {rect.value("x", 0.0), rect.value("y", 0.0), rect.value("width", 0.0), rect.value("height", 0.0)};
}

void FixtureProcess::freeze() {
    kill(pid_, SIGSTOP);
    frozen_ = true;
}

void FixtureProcess::thaw() {
    kill(pid_, SIGCONT);
    frozen_ = false;
}

std::optional<FixtureElements> fixtureElements(pid_t pid, const std::string& title) {
    platform::Accessibility* ax = AX::backend();
    if (!ax) return std::nullopt;
    const double deadline = nowSeconds() + 20;
    while (nowSeconds() < deadline) {
        if (auto app = ax->application(pid)) {
            for (const platform::Element& window : AX::windows(*app))
                if (AX::string(window, "AXTitle") == title) return FixtureElements{*app, window};
        }
        timespec pause{0, 100'000'000};
        nanosleep(&pause, nullptr);
    }
    return std::nullopt;
}

platform::Point center(const platform::Rect& rect) {
    return {rect.x + rect.width / 2, rect.y + rect.height / 2};
}

}  // namespace e2e
