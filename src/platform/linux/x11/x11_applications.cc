#include "platform/linux/x11/x11_applications.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/linux/desktop/desktop_entries.h"
#include "platform/linux/desktop/process_launch.h"
#include "platform/linux/x11/x11_app_windows.h"
#include "platform/linux/x11/x11_window_frame.h"

namespace platform::linux_desktop {
namespace {

namespace fs = std::filesystem;

std::string canonical(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

std::string executableOf(pid_t pid) {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return error ? std::string() : exe.string();
}

std::string processName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// What one window and the process's executable say about the application, for finding its desktop entry.
ApplicationHints hintsFor(const AppWindow& window, const std::string& executable) {
    ApplicationHints hints;
    hints.gtkApplicationId = window.toolkitId;
    hints.wmClassClass = window.resClass;
    hints.wmClassInstance = window.resName;
    hints.executablePath = executable.empty() ? "" : canonical(executable);
    hints.pid = window.pid;
    return hints;
}

// The entry of the process that owns `windows` (in `applicationWindows` order): the one named by its
// front-most viewable managed window that names one, else by any other of its windows. One process can
// serve several entries (LibreOffice's soffice.bin draws Writer's and Calc's windows); its leader windows
// (soffice.bin's "Soffice") name none.
std::optional<DesktopEntry> entryOf(const std::vector<AppWindow>& windows, const std::string& executable,
                                    const std::vector<DesktopEntry>& entries) {
    std::vector<const AppWindow*> order;
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (it->managed && it->viewable) order.push_back(&*it);
    for (const auto& window : windows)
        if (!(window.managed && window.viewable)) order.push_back(&window);
    for (const AppWindow* window : order)
        if (auto entry = matchDesktopEntry(entries, hintsFor(*window, executable))) return entry;
    return std::nullopt;
}

}  // namespace

Display* X11Applications::display() {
    if (!triedDisplay_) {
        triedDisplay_ = true;
        display_ = openDisplay();
    }
    return display_.get();
}

std::vector<ApplicationProcess> X11Applications::running() {
    std::map<pid_t, std::vector<AppWindow>> byProcess;
    {
        std::lock_guard lock(mutex_);
        Display* connection = display();
        if (!connection) return {};
        for (auto& window : applicationWindows(connection)) byProcess[window.pid].push_back(std::move(window));
    }
    const std::vector<DesktopEntry> entries = loadDesktopEntries();
    std::vector<ApplicationProcess> applications;
    for (const auto& [pid, windows] : byProcess) {
        if (processEnded(pid)) continue;
        ApplicationProcess app;
        app.pid = pid;
        const std::string executable = executableOf(pid);
        if (!executable.empty()) app.executablePath = executable;
        for (const auto& window : windows)
            if (!window.startupId.empty() &&
                std::find(app.launchIds.begin(), app.launchIds.end(), window.startupId) == app.launchIds.end())
                app.launchIds.push_back(window.startupId);
        if (const auto entry = entryOf(windows, executable, entries)) {
            app.identity = entry->id;
            app.name = entry->name;
            app.otherNames = otherNamesOf(*entry);
            app.entryPath = entry->path;
        } else {
            for (const auto& window : windows)
                if (!app.identity && !window.toolkitId.empty()) app.identity = window.toolkitId;
            for (const auto& window : windows)
                if (!app.name && !window.resClass.empty()) app.name = window.resClass;
            if (!app.name) {
                const std::string name = processName(pid);
                if (!name.empty()) app.name = name;
            }
        }
        applications.push_back(std::move(app));
    }
    return applications;
}

void X11Applications::activate(const ApplicationProcess& application) {
    std::lock_guard lock(mutex_);
    if (Display* connection = display()) activateProcessWindow(connection, application.pid);
}

std::optional<ScreenFrames> X11Applications::mainScreen() {
    std::lock_guard lock(mutex_);
    Display* connection = display();
    return connection ? mainScreenFrames(connection) : std::nullopt;
}

bool X11Applications::placeWindow(const ApplicationProcess& application, uint64_t windowID,
                                  const Rect& frame) {
    std::lock_guard lock(mutex_);
    Display* connection = display();
    if (!connection) return false;
    for (const ClientWindow& window : clientWindowsTopFirst(connection)) {
        if (window.client != Window(windowID) || window.pid != application.pid) continue;
        return moveResizeFrame(connection, window, Point{frame.x, frame.y}, Size{frame.width, frame.height});
    }
    return false;
}

}  // namespace platform::linux_desktop
