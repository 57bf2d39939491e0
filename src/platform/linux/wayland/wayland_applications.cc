#include "platform/linux/wayland/wayland_applications.h"

#include <filesystem>
#include <set>

#include "platform/linux/bus/atspi_top_levels.h"
#include "platform/linux/wayland/mutter_monitors.h"
#include "platform/linux/desktop/desktop_entries.h"

namespace platform::linux_desktop {

ApplicationProcess describeProcess(int32_t pid, const std::string& programName) {
    ApplicationProcess process;
    process.pid = pid;
    std::error_code error;
    const auto executable = std::filesystem::canonical("/proc/" + std::to_string(pid) + "/exe", error);
    if (!error) process.executablePath = executable.string();
    // The toolkit's program name is what it would have put in WM_CLASS on X11.
    ApplicationHints hints;
    hints.wmClassInstance = programName;
    hints.wmClassClass = programName;
    hints.executablePath = error ? "" : executable.string();
    hints.pid = pid;
    if (const auto entry = matchDesktopEntry(loadDesktopEntries(), hints)) {
        process.identity = entry->id;
        process.name = entry->name;
        process.otherNames = otherNamesOf(*entry);
        process.entryPath = entry->path;
    } else if (!programName.empty()) {
        process.name = programName;
    }
    return process;
}

std::vector<ApplicationProcess> WaylandApplications::running() {
    std::vector<ApplicationProcess> applications;
    std::set<int32_t> seen;
    for (const TopLevel& window : atspiTopLevels()) {
        if (window.pid <= 0 || !seen.insert(window.pid).second || isTerminated(window.pid)) continue;
        applications.push_back(describeProcess(window.pid, window.applicationName));
    }
    return applications;
}

std::optional<ScreenFrames> WaylandApplications::mainScreen() {
    const auto monitors = mutterMonitors();
    if (monitors.empty()) return std::nullopt;
    ShareableDisplay main = monitors.front();
    for (const auto& monitor : monitors)
        if (monitor.primary) main = monitor;
    // Bottom-left coordinates flipped about the main monitor's height; a headless GNOME shell draws no panel.
    const Rect frame{main.frame.x, 0, main.frame.width, main.frame.height};
    return ScreenFrames{frame, frame};
}

}  // namespace platform::linux_desktop
