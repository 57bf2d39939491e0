#include "platform/linux/desktop/process_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace platform::linux_desktop {
namespace {

// What the launching side learns through the report pipe: the program's pid, then, if exec failed, the
// errno and the step that failed.
struct Report {
    pid_t pid = 0;
    int error = 0;
    int step = 0;  // 1: chdir, 2: exec, 3: fork
};

void writeReport(int fd, const Report& report) {
    const char* bytes = reinterpret_cast<const char*>(&report);
    size_t done = 0;
    while (done < sizeof report) {
        const ssize_t n = write(fd, bytes + done, sizeof report - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// Reads everything the pipe carries until it closes; the last complete report wins.
bool readReports(int fd, Report& report) {
    bool any = false;
    for (;;) {
        Report next;
        size_t done = 0;
        while (done < sizeof next) {
            const ssize_t n = read(fd, reinterpret_cast<char*>(&next) + done, sizeof next - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return any;
            done += static_cast<size_t>(n);
        }
        report = next;
        any = true;
    }
}

// The environment the program gets: this process's, with the launch's settings replacing the variables they
// name, and a slot at the end for "<pidVariable>=<pid>", whose digits the program's process writes into
// `pidSlot` (room for any pid) before exec, when the launch asks for it.
struct ProgramEnvironment {
    std::vector<std::string> strings;
    std::vector<char*> envp;
    char* pidDigits = nullptr;  // where the pid's digits go, inside the last string; null when not asked
};

void buildEnvironment(const LaunchEnvironment& launch, ProgramEnvironment& built) {
    auto nameOf = [](const std::string& setting) { return setting.substr(0, setting.find('=')); };
    std::vector<std::string> replaced;
    for (const auto& setting : launch.settings) replaced.push_back(nameOf(setting));
    if (!launch.pidVariable.empty()) replaced.push_back(launch.pidVariable);
    for (char** variable = environ; variable && *variable; ++variable) {
        const std::string entry = *variable;
        if (std::find(replaced.begin(), replaced.end(), nameOf(entry)) == replaced.end()) built.strings.push_back(entry);
    }
    for (const auto& setting : launch.settings) built.strings.push_back(setting);
    constexpr size_t kPidDigits = 24;
    if (!launch.pidVariable.empty()) built.strings.push_back(launch.pidVariable + "=" + std::string(kPidDigits, '\0'));
    for (auto& entry : built.strings) built.envp.push_back(entry.data());
    built.envp.push_back(nullptr);
    if (!launch.pidVariable.empty()) built.pidDigits = built.strings.back().data() + launch.pidVariable.size() + 1;
}

// Writes `pid` in decimal at `out` (async-signal-safe: the program's process runs it between fork and exec).
void writePidDigits(pid_t pid, char* out) {
    char reversed[24];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + pid % 10);
        pid /= 10;
    } while (pid > 0 && count < 23);
    for (int i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
    out[count] = '\0';
}

// In the launched program's process, after the second fork: standard streams on /dev/null, every other
// descriptor closed except the report pipe (close-on-exec), then exec.
[[noreturn]] void execProgram(const std::vector<char*>& argv, const std::string& workingDirectory, int reportFd,
                              ProgramEnvironment& environment) {
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        if (devNull > STDERR_FILENO) close(devNull);
    }
    const int maxFd = static_cast<int>(sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024);
    for (int fd = STDERR_FILENO + 1; fd < maxFd && fd < 65536; ++fd)
        if (fd != reportFd) close(fd);
    Report report;
    report.pid = getpid();
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) {
        report.error = errno;
        report.step = 1;
        writeReport(reportFd, report);
        _exit(127);
    }
    // Signals this process blocks or ignores must not stay so in the program.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    if (environment.pidDigits) writePidDigits(report.pid, environment.pidDigits);
    writeReport(reportFd, report);
    execve(argv[0], argv.data(), environment.envp.data());
    report.error = errno;
    report.step = 2;
    writeReport(reportFd, report);
    _exit(127);
}

}  // namespace

pid_t launchDetached(const std::vector<std::string>& arguments, const std::string& workingDirectory) {
    return launchDetached(arguments, workingDirectory, LaunchEnvironment{});
}

pid_t launchDetached(const std::vector<std::string>& arguments, const std::string& workingDirectory,
                     const LaunchEnvironment& launchEnvironment) {
    if (arguments.empty()) throw std::runtime_error("cannot launch: no command");
    ProgramEnvironment environment;
    buildEnvironment(launchEnvironment, environment);
    const std::string& program = arguments.front();
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot launch " + program + ": " + std::strerror(errno));

    const pid_t first = fork();
    if (first < 0) {
        const int error = errno;
        close(pipeFds[0]);
        close(pipeFds[1]);
        throw std::runtime_error("cannot launch " + program + ": " + std::strerror(error));
    }
    if (first == 0) {
        // The intermediate process: a new session, then the program in a grandchild, so that the program
        // is adopted by init (or the session's subreaper) and never waits as our zombie.
        close(pipeFds[0]);
        setsid();
        const pid_t second = fork();
        if (second < 0) {
            Report report;
            report.error = errno;
            report.step = 3;
            writeReport(pipeFds[1], report);
            _exit(127);
        }
        if (second == 0) execProgram(argv, workingDirectory, pipeFds[1], environment);
        _exit(0);
    }
    close(pipeFds[1]);
    int status = 0;
    while (waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    Report report;
    const bool reported = readReports(pipeFds[0], report);
    close(pipeFds[0]);
    if (!reported) throw std::runtime_error("cannot launch " + program + ": the process did not start");
    if (report.error != 0) {
        const char* what = report.step == 1 ? "cannot enter " : "";
        std::string reason = std::string(what) + (report.step == 1 ? workingDirectory + ": " : "") +
                             std::strerror(report.error);
        throw std::runtime_error("cannot launch " + program + ": " + reason);
    }
    return report.pid;
}

namespace {

// The fields of /proc/<pid>/stat after the command name, which may itself hold spaces and parentheses.
std::string statFields(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(stat, content)) return "";
    const auto close = content.rfind(')');
    return close == std::string::npos || close + 2 > content.size() ? "" : content.substr(close + 2);
}

// The parent of `pid` (the fourth field of its stat line), 0 when it cannot be read.
pid_t parentOf(pid_t pid) {
    const std::string fields = statFields(pid);  // "S ppid ..."
    const auto space = fields.find(' ');
    if (space == std::string::npos) return 0;
    return static_cast<pid_t>(std::strtol(fields.c_str() + space + 1, nullptr, 10));
}

}  // namespace

bool processDescendsFrom(pid_t pid, pid_t ancestor) {
    if (pid <= 1 || ancestor <= 0 || pid == ancestor) return false;
    // Chains are short; the bound only guards against a table read while it changes.
    for (int depth = 0; depth < 64 && pid > 1; ++depth) {
        pid = parentOf(pid);
        if (pid == ancestor) return true;
    }
    return false;
}

bool processEnded(pid_t pid) {
    if (pid <= 0) return true;
    if (kill(pid, 0) != 0 && errno == ESRCH) return true;
    // A zombie has ended although it still exists; its state is the third field of /proc/<pid>/stat.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(stat, content)) return false;
    const auto close = content.rfind(')');
    return close != std::string::npos && close + 2 < content.size() && content[close + 2] == 'Z';
}

}  // namespace platform::linux_desktop
