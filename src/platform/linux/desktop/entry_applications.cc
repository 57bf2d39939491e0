#include "platform/linux/desktop/entry_applications.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/linux/desktop/desktop_entries.h"
#include "platform/linux/desktop/desktop_entry_command.h"
#include "platform/linux/desktop/launch_identity.h"
#include "platform/linux/desktop/process_launch.h"

namespace platform::linux_desktop {

namespace {

namespace fs = std::filesystem;

bool isDesktopEntryPath(const std::string& path) { return path.size() > 8 && path.ends_with(".desktop"); }

}  // namespace

std::vector<std::string> otherNamesOf(const DesktopEntry& entry) {
    std::vector<std::string> names;
    if (!entry.genericName.empty()) names.push_back(entry.genericName);
    if (!entry.fullName.empty()) names.push_back(entry.fullName);
    return names;
}

bool EntryApplications::isTerminated(int32_t pid) { return processEnded(pid); }

bool EntryApplications::isApplicationPath(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    if (isDesktopEntryPath(path)) return readDesktopEntry(path, desktopIdOf(path)).has_value();
    // A program is named by a path (with a "/"), never by a bare word that happens to be in this directory.
    return path.find('/') != std::string::npos && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> EntryApplications::applicationWithIdentity(const std::string& identity) {
    for (const auto& entry : loadDesktopEntries())
        if (entry.id == identity) return entry.path;
    return std::nullopt;
}

std::optional<std::string> EntryApplications::applicationNamed(const std::string& name) {
    for (const auto& entry : loadDesktopEntries())
        if (entry.name == name) return entry.path;
    return std::nullopt;
}

std::optional<std::string> EntryApplications::applicationWithOtherName(const std::string& name) {
    const std::vector<DesktopEntry> entries = loadDesktopEntries();
    for (const auto& entry : entries)
        if (entry.genericName == name) return entry.path;
    for (const auto& entry : entries)
        if (entry.fullName == name) return entry.path;
    return std::nullopt;
}

std::vector<std::string> EntryApplications::installedNames() {
    std::vector<std::string> names;
    for (const auto& entry : loadDesktopEntries()) {
        if (entry.noDisplay || entry.name.empty()) continue;
        if (std::find(names.begin(), names.end(), entry.name) == names.end()) names.push_back(entry.name);
    }
    return names;
}

ApplicationProcess EntryApplications::open(const std::string& path) {
    ApplicationProcess started;
    std::vector<std::string> arguments;
    std::string workingDirectory;
    LaunchEnvironment environment;
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
        started.otherNames = otherNamesOf(*entry);
        started.entryPath = path;
        // The launch's id and entry go with the program, to whichever process ends up showing its window.
        started.launchIds = {newLaunchId()};
        environment = entryLaunchEnvironment(path, started.launchIds.front());
    } else {
        arguments = {path};
    }
    started.pid = launchDetached(arguments, workingDirectory, environment);
    started.executablePath = arguments.front();
    return started;
}

bool EntryApplications::descendsFrom(int32_t pid, int32_t ancestor) { return processDescendsFrom(pid, ancestor); }

std::optional<std::string> EntryApplications::identityOf(const std::string& path) {
    if (!isDesktopEntryPath(path)) return std::nullopt;
    return desktopIdOf(path);
}

}  // namespace platform::linux_desktop
