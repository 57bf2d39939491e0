#include "fakes/fake_applications.h"

#include <stdexcept>

namespace fakes {

const FakeApplications::Installed* FakeApplications::find(const std::string& path) const {
    for (const auto& entry : installed)
        if (entry.path == path) return &entry;
    return nullptr;
}

std::vector<platform::ApplicationProcess> FakeApplications::running() {
    ++runningCalls;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->second.second-- <= 0) {
            apps.push_back(it->second.first);
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    std::vector<platform::ApplicationProcess> alive;
    for (const auto& app : apps)
        if (!terminated.count(app.pid)) alive.push_back(app);
    return alive;
}

bool FakeApplications::isApplicationPath(const std::string& path) { return find(path) != nullptr; }

std::optional<std::string> FakeApplications::applicationWithIdentity(const std::string& identity) {
    for (const auto& entry : installed)
        if (entry.identity == identity) return entry.path;
    return std::nullopt;
}

std::optional<std::string> FakeApplications::applicationNamed(const std::string& name) {
    for (const auto& entry : installed)
        if (entry.name == name) return entry.path;
    return std::nullopt;
}

std::optional<std::string> FakeApplications::applicationWithOtherName(const std::string& name) {
    for (size_t which = 0; which < 2; ++which)
        for (const auto& entry : installed)
            if (entry.otherNames.size() > which && entry.otherNames[which] == name) return entry.path;
    return std::nullopt;
}

std::vector<std::string> FakeApplications::installedNames() {
    std::vector<std::string> names;
    for (const auto& entry : installed)
        if (entry.name) names.push_back(*entry.name);
    return names;
}

platform::ApplicationProcess FakeApplications::open(const std::string& path) {
    opened.push_back(path);
    const Installed* entry = find(path);
    if (!entry) throw std::runtime_error("no such application: " + path);
    if (entry->openError) throw std::runtime_error(*entry->openError);
    platform::ApplicationProcess started;
    started.pid = entry->pid;
    started.identity = entry->identity;
    started.name = entry->name;
    started.otherNames = entry->otherNames;
    started.entryPath = entry->path;
    if (entry->launcherExits) terminated.insert(entry->pid);
    if (entry->successor) pending_[entry->successor->pid] = {*entry->successor, entry->registerPolls};
    if (entry->child) {
        parents[entry->child->pid] = entry->pid;
        pending_[entry->child->pid] = {*entry->child, entry->registerPolls};
    }
    if (!entry->launcherExits && !entry->child && entry->registers) pending_[entry->pid] = {started, entry->registerPolls};
    // The started process as the desktop starts it from an entry: its pid and the entry's description.
    platform::ApplicationProcess process = started;
    return process;
}

bool FakeApplications::descendsFrom(int32_t pid, int32_t ancestor) {
    for (auto parent = parents.find(pid); parent != parents.end(); parent = parents.find(parent->second))
        if (parent->second == ancestor) return true;
    return false;
}

std::optional<std::string> FakeApplications::identityOf(const std::string& path) {
    const Installed* entry = find(path);
    return entry ? entry->identity : std::nullopt;
}

}  // namespace fakes
