#include "support/tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/protocol_log.h"

extern char** environ;

namespace support {

std::vector<std::string> ToolRun::lines() const {
    std::vector<std::string> result;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

nlohmann::json ToolRun::last() const {
    const auto all = lines();
    if (all.empty()) return nullptr;
    return nlohmann::json::parse(all.back(), nullptr, /*allow_exceptions=*/false);
}

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

std::vector<char*> nullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::string toolPath() {
    if (const char* path = std::getenv("QC_TOOL")) return path;
    return QC_TOOL_PATH;
}

ToolRun runProgram(const std::vector<std::string>& argv, const ToolOptions& options) {
    ProtocolRecord protocol(argv, options.workingDirectory);
    std::vector<std::string> envStrings = environmentWith(options.set, options.unset);
    std::vector<std::string> argvCopy = argv;
    std::vector<char*> envp = nullTerminated(envStrings), args = nullTerminated(argvCopy);

    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.workingDirectory) posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory->c_str());
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }

    ToolRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    protocol.finish(run.out, run.status);
    return run;
}

ToolRun runTool(const std::vector<std::string>& args, const ToolOptions& options) {
    std::vector<std::string> argv{toolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, options);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qc-test.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& contents) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << contents;
    return file;
}

}  // namespace support
