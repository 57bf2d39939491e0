#include "platform/linux/kwin/kwin_applications.h"

#include <filesystem>
#include <set>

#include "platform/linux/desktop/desktop_entries.h"
#include "platform/linux/desktop/entry_applications.h"

namespace platform::linux_desktop {

ApplicationProcess describeWindowProcess(const KWinWindow& window) {
    ApplicationProcess process;
    process.pid = window.pid;
    std::error_code error;
    const auto executable = std::filesystem::canonical("/proc/" + std::to_string(window.pid) + "/exe", error);
    if (!error) process.executablePath = executable.string();
    // A Wayland client's application id is what GTK would have put in _GTK_APPLICATION_ID on X11; KWin names
    // the desktop entry it matched to it, which is tried first.
    ApplicationHints hints;
    hints.gtkApplicationId = !window.desktopFileName.empty() ? window.desktopFileName : window.resourceClass;
    hints.wmClassInstance = window.resourceName;
    hints.wmClassClass = window.resourceClass;
    hints.executablePath = error ? "" : executable.string();
    hints.pid = window.pid;
    if (const auto entry = matchDesktopEntry(loadDesktopEntries(), hints)) {
        process.identity = entry->id;
        process.name = entry->name;
        process.otherNames = otherNamesOf(*entry);
        process.entryPath = entry->path;
    } else if (!window.resourceClass.empty()) {
        process.name = window.resourceClass;
    }
    return process;
}

std::vector<ApplicationProcess> KWinApplications::running() {
    std::vector<ApplicationProcess> applications;
    std::set<int32_t> seen;
    for (const KWinWindow& window : kwinDesktop().windows) {
        if (!window.ordinary || window.pid <= 0 || !seen.insert(window.pid).second || isTerminated(window.pid))
            continue;
        applications.push_back(describeWindowProcess(window));
    }
    return applications;
}

void KWinApplications::activate(const ApplicationProcess& application) {
    if (const auto window = frontWindowOf(application.pid)) activateKWinWindow(*window);
}

std::optional<ScreenFrames> KWinApplications::mainScreen() {
    const auto screen = kwinDesktop().screen;
    if (!screen) return std::nullopt;
    // In bottom-left coordinates, flipped about the screen's height: the work area's top is as far from the
    // screen's top as the panels above it take.
    const Rect& whole = screen->frame;
    const Rect& work = screen->workArea;
    const Rect frame{whole.x, 0, whole.width, whole.height};
    const Rect visible{work.x, whole.height - (work.y - whole.y) - work.height, work.width, work.height};
    return ScreenFrames{frame, visible};
}

bool KWinApplications::placeWindow(const ApplicationProcess& application, uint64_t windowID, const Rect& frame) {
    const auto window = kwinWindowWithID(windowID);
    if (!window || window->pid != application.pid) return false;
    return placeKWinWindow(*window, frame.origin(), frame.size());
}

}  // namespace platform::linux_desktop
