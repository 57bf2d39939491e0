#include "platform/linux/x11/desktop_apps.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "platform/linux/x11/process_launch.h"
#include "platform/linux/x11/x11_app_windows.h"
#include "platform/linux/x11/x11_window_frame.h"
#include "platform/linux/x11/desktop_entries.h"
#include "platform/linux/x11/desktop_entry_command.h"

namespace platform::linux_desktop {
namespace {

namespace fs = std::filesystem;

bool isDesktopEntryPath(const std::string& path) { return path.size() > 8 && path.ends_with(".desktop"); }

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

Display* DesktopApplications::display() {
    if (!triedDisplay_) {
        triedDisplay_ = true;
        display_ = openDisplay();
    }
    return display_.get();
}

std::vector<ApplicationProcess> DesktopApplications::running() {
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
        if (const auto entry = entryOf(windows, executable, entries)) {
            app.identity = entry->id;
            app.name = entry->name;
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

bool DesktopApplications::isTerminated(int32_t pid) { return processEnded(pid); }

bool DesktopApplications::isApplicationPath(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    if (isDesktopEntryPath(path)) return readDesktopEntry(path, desktopIdOf(path)).has_value();
    // A program is named by a path (with a "/"), never by a bare word that happens to be in this directory.
    return path.find('/') != std::string::npos && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> DesktopApplications::applicationWithIdentity(const std::string& identity) {
    for (const auto& entry : loadDesktopEntries())
        if (entry.id == identity) return entry.path;
    return std::nullopt;
}

std::optional<std::string> DesktopApplications::applicationNamed(const std::string& name) {
    for (const auto& entry : loadDesktopEntries())
        if (entry.name == name) return entry.path;
    return std::nullopt;
}

ApplicationProcess DesktopApplications::open(const std::string& path) {
    ApplicationProcess started;
    std::vector<std::string> arguments;
    std::string workingDirectory;
    if (isDesktopEntryPath(path)) {
        const auto entry = readDesktopEntry(path, desktopIdOf(path));
        if (!entry) throw std::runtime_error("cannot launch " + path + ": not an application entry");
        arguments = commandArguments(*entry);
        if (arguments.empty()) throw std::runtime_error("cannot launch " + path + ": the entry has no command");
        const auto program = findProgram(arguments.front());
        if (!program)
            throw std::runtime_error("cannot launch " + path + ": " + arguments.front() + " is not installed");
        arguments.front() = *program;
        workingDirectory = entry->workingDirectory;
        started.identity = entry->id;
        if (!entry->name.empty()) started.name = entry->name;
        started.entryPath = path;
    } else {
        arguments = {path};
    }
    started.pid = launchDetached(arguments, workingDirectory);
    started.executablePath = arguments.front();
    return started;
}

bool DesktopApplications::descendsFrom(int32_t pid, int32_t ancestor) { return processDescendsFrom(pid, ancestor); }

std::optional<std::string> DesktopApplications::identityOf(const std::string& path) {
    if (!isDesktopEntryPath(path)) return std::nullopt;
    return desktopIdOf(path);
}

void DesktopApplications::activate(const ApplicationProcess& application) {
    std::lock_guard lock(mutex_);
    if (Display* connection = display()) activateProcessWindow(connection, application.pid);
}

std::optional<ScreenFrames> DesktopApplications::mainScreen() {
    std::lock_guard lock(mutex_);
    Display* connection = display();
    return connection ? mainScreenFrames(connection) : std::nullopt;
}

bool DesktopApplications::placeWindow(const ApplicationProcess& application, uint64_t windowID,
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
