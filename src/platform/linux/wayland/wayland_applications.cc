#include "platform/linux/wayland/wayland_applications.h"

#include <filesystem>
#include <set>

#include "base/capture_error.h"
#include "platform/linux/desktop/desktop_entries.h"
#include "platform/linux/wayland/application_top_levels.h"
#include "platform/linux/wayland/mutter_monitors.h"
#include "platform/linux/wayland/shell_extension.h"

namespace platform::linux_desktop {

ApplicationProcess describeProcess(int32_t pid, const std::string& programName, const std::string& entryId) {
    ApplicationProcess process;
    process.pid = pid;
    std::error_code error;
    const auto executable = std::filesystem::canonical("/proc/" + std::to_string(pid) + "/exe", error);
    if (!error) process.executablePath = executable.string();
    // The entry the shell matched stands for the toolkit's application id; the toolkit's program name is what
    // it would have put in WM_CLASS on X11.
    ApplicationHints hints;
    hints.gtkApplicationId = entryId;
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
    // The processes with windows on screen first, then those with only an accessibility tree.
    if (shellExtensionPresent()) {
        try {
            for (const ShellWindow& window : shellWindows()) {
                if (window.pid <= 0 || !seen.insert(window.pid).second || isTerminated(window.pid)) continue;
                applications.push_back(describeProcess(window.pid, window.wmClass, window.appId));
            }
        } catch (const CaptureError&) {
        }
    }
    for (const TopLevel& window : applicationTopLevels()) {
        if (window.pid <= 0 || !seen.insert(window.pid).second || isTerminated(window.pid)) continue;
        applications.push_back(describeProcess(window.pid, window.applicationName));
    }
    return applications;
}

void WaylandApplications::activate(const ApplicationProcess& application) {
    if (!shellExtensionPresent()) return;
    try {
        // The process's window nearest the top of the stack, as activating an application raises its last
        // used window.
        for (const ShellWindow& window : shellWindows()) {
            if (window.pid == application.pid) {
                focusShellWindow(window.id);
                return;
            }
        }
    } catch (const CaptureError&) {
    }
}

std::optional<ScreenFrames> WaylandApplications::mainScreen() {
    const auto monitors = mutterMonitors();
    if (monitors.empty()) return std::nullopt;
    ShareableDisplay main = monitors.front();
    for (const auto& monitor : monitors)
        if (monitor.primary) main = monitor;
    // Bottom-left coordinates flipped about the main monitor's height.
    const Rect frame{main.frame.x, 0, main.frame.width, main.frame.height};
    Rect visible = frame;
    if (shellExtensionPresent()) {
        // The shell's work area leaves its panel out; a headless mutter draws none.
        if (const auto area = shellWorkArea()) {
            const double top = area->y - main.frame.y;
            visible = {area->x, main.frame.height - top - area->height, area->width, area->height};
        }
    }
    return ScreenFrames{frame, visible};
}

bool WaylandApplications::placeWindow(const ApplicationProcess&, uint64_t windowID, const Rect& frame) {
    return shellExtensionPresent() && placeShellWindow(windowID, frame);
}

}  // namespace platform::linux_desktop
