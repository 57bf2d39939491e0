#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace support {
namespace {

// This process's environment as NAME=VALUE entries, less `unset`, with `set` added or replaced.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& set,
                                         const std::vector<std::string>& unset) {
    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& name : unset) environment.erase(name);
    for (const auto& [name, value] : set) environment[name] = value;
    std::vector<std::string> entries;
    for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
    return entries;
}

// Pointers to the texts of `strings` and a null pointer, as exec takes them.
std::vector<char*> nullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Points the child's descriptor `fd` where `stream` says; `pipeEnd` is the write end of its pipe.
void direct(posix_spawn_file_actions_t& actions, int fd, const ChildStream& stream, int pipeEnd) {
    switch (stream.kind) {
        case ChildStream::Kind::pipe:
            posix_spawn_file_actions_adddup2(&actions, pipeEnd, fd);
            break;
        case ChildStream::Kind::inherit:
            break;
        case ChildStream::Kind::file:
            posix_spawn_file_actions_addopen(&actions, fd, stream.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            break;
        case ChildStream::Kind::discard:
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
            break;
    }
}

int milliseconds(double seconds) {
    return static_cast<int>(std::clamp(std::ceil(seconds * 1000), 0.0, static_cast<double>(INT_MAX)));
}

int statusOf(const siginfo_t& info) { return info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status; }

}  // namespace

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options)
    : protocol_(argv, options.workingDirectory) {
    if (argv.empty()) throw std::runtime_error("no program to start");
    std::vector<std::string> environment = environmentWith(options.set, options.unset), arguments = argv;
    std::vector<char*> envp = nullTerminated(environment), args = nullTerminated(arguments);

    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
    if ((options.out.kind == ChildStream::Kind::pipe && pipe2(outPipe, O_CLOEXEC) != 0) ||
        (options.err.kind == ChildStream::Kind::pipe && pipe2(errPipe, O_CLOEXEC) != 0)) {
        for (int fd : {outPipe[0], outPipe[1]})
            if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot make a pipe for " + argv[0]);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    direct(actions, STDOUT_FILENO, options.out, outPipe[1]);
    direct(actions, STDERR_FILENO, options.err, errPipe[1]);
    if (options.workingDirectory) posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory->c_str());
    // A process group of its own, led by the child, so that `end` reaches whatever it starts in it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int failed = posix_spawnp(&pid_, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {outPipe[1], errPipe[1]})
        if (fd >= 0) ::close(fd);
    out_ = outPipe[0];
    err_ = errPipe[0];
    if (failed) {
        closePipes();
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(failed));
    }
}

ChildProcess::~ChildProcess() {
    end();
    closePipes();
    protocol_.finish(output_, waited_ ? exitStatus_.value_or(-1) : -1);
}

void ChildProcess::closePipes() {
    for (int* fd : {&out_, &err_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void ChildProcess::closeOutput() {
    if (out_ >= 0) ::close(out_);
    out_ = -1;
}

void ChildProcess::readFrom(int& fd, std::string& into) {
    char buffer[65536];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (count > 0) {
        into.append(buffer, static_cast<size_t>(count));
    } else {
        ::close(fd);
        fd = -1;
    }
    if (&into != &output_) return;
    for (size_t end; (end = output_.find('\n', lineStart_)) != std::string::npos; lineStart_ = end + 1)
        lines_.push_back(output_.substr(lineStart_, end - lineStart_));
    if (out_ < 0 && lineStart_ < output_.size()) {  // the output ended inside a line
        lines_.push_back(output_.substr(lineStart_));
        lineStart_ = output_.size();
    }
}

bool ChildProcess::readMore(double timeoutSeconds) {
    if (out_ < 0 && err_ < 0) return false;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};  // poll skips a closed (negative) one
    if (::poll(fds, 2, milliseconds(timeoutSeconds)) <= 0) return false;
    if (fds[0].revents) readFrom(out_, output_);
    if (fds[1].revents) readFrom(err_, errors_);
    return true;
}

std::optional<std::string> ChildProcess::readLine(double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    while (taken_ == lines_.size()) {
        const double left = deadline - nowSeconds();
        if (out_ < 0 || left <= 0) return std::nullopt;
        readMore(left);
    }
    return lines_[taken_++];
}

std::optional<nlohmann::json> ChildProcess::waitFor(const std::function<bool(const nlohmann::json&)>& accept,
                                                    double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    while (auto line = readLine(deadline - nowSeconds())) {
        auto value = nlohmann::json::parse(*line, nullptr, false);
        if (value.is_object() && accept(value)) return value;
    }
    return std::nullopt;
}

bool ChildProcess::pollExit() {
    if (exitStatus_) return true;
    siginfo_t info{};
    if (::waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != pid_) return false;
    exitStatus_ = statusOf(info);
    return true;
}

void ChildProcess::idle(double seconds) {
    if (!readMore(seconds) && out_ < 0 && err_ < 0) ::usleep(static_cast<useconds_t>(seconds * 1e6));
}

int ChildProcess::wait(double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    while (!pollExit()) {
        const double left = deadline - nowSeconds();
        if (left <= 0) return -1;
        idle(std::min(left, 0.01));  // output wakes it at once; an exit is seen within 10 ms
    }
    while (readMore(0)) {
    }
    waited_ = true;
    return *exitStatus_;
}

void ChildProcess::signal(int signal) {
    if (!reaped_) ::kill(pid_, signal);
}

void ChildProcess::end(double graceSeconds) {
    if (reaped_ || pid_ <= 0) return;
    if (graceSeconds > 0 && !pollExit()) {
        ::killpg(pid_, SIGTERM);
        ::killpg(pid_, SIGCONT);  // a stopped member acts on SIGTERM only once continued
        const double deadline = nowSeconds() + graceSeconds;
        while (!pollExit() && nowSeconds() < deadline) idle(0.01);
    }
    ::killpg(pid_, SIGKILL);  // what is left of the group, the process too if it did not exit
    siginfo_t info{};
    while (::waitid(P_PID, pid_, &info, WEXITED) != 0 && errno == EINTR) {
    }
    if (!exitStatus_ && info.si_pid == pid_) exitStatus_ = statusOf(info);
    reaped_ = true;
}

}  // namespace support
