#include "platform/linux/desktop/launch_identity.h"

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <fstream>

namespace platform::linux_desktop {
namespace {

constexpr const char* kStartupIdVariable = "DESKTOP_STARTUP_ID";
constexpr const char* kLaunchedEntryVariable = "GIO_LAUNCHED_DESKTOP_FILE";
constexpr const char* kLaunchedEntryPidVariable = "GIO_LAUNCHED_DESKTOP_FILE_PID";

}  // namespace

std::string newLaunchId() {
    static std::atomic<unsigned> count{0};
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return "quorrel-capture-" + std::to_string(getpid()) + "-" + std::to_string(++count) + "-" +
           std::to_string(now.tv_sec) + std::to_string(now.tv_nsec);
}

LaunchEnvironment entryLaunchEnvironment(const std::string& entryPath, const std::string& launchId) {
    LaunchEnvironment environment;
    environment.settings = {std::string(kStartupIdVariable) + "=" + launchId,
                            std::string(kLaunchedEntryVariable) + "=" + entryPath};
    environment.pidVariable = kLaunchedEntryPidVariable;
    return environment;
}

std::optional<std::string> launchedEntryOf(pid_t pid) {
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    if (!environ) return std::nullopt;
    const std::string entryPrefix = std::string(kLaunchedEntryVariable) + "=";
    const std::string pidPrefix = std::string(kLaunchedEntryPidVariable) + "=";
    std::optional<std::string> entry;
    std::optional<pid_t> launched;
    for (std::string variable; std::getline(environ, variable, '\0');) {
        if (variable.starts_with(entryPrefix)) entry = variable.substr(entryPrefix.size());
        if (variable.starts_with(pidPrefix)) {
            pid_t value = 0;
            const char* first = variable.data() + pidPrefix.size();
            const char* last = variable.data() + variable.size();
            if (std::from_chars(first, last, value).ptr == last && value > 0) launched = value;
        }
    }
    if (!entry || entry->empty() || !launched) return std::nullopt;
    if (*launched != pid && !processDescendsFrom(pid, *launched)) return std::nullopt;
    return entry;
}

}  // namespace platform::linux_desktop
