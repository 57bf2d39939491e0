#pragma once
// An in-memory desktop of applications: what runs, what is installed, and what starting one does.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/applications.h"

namespace fakes {

class FakeApplications final : public platform::Applications {
public:
    /// What starting an installed application does.
    struct Installed {
        std::string path;
        std::optional<std::string> identity;
        std::optional<std::string> name;
        /// Its generic name and full name, those it has.
        std::vector<std::string> otherNames{};
        /// The process `open` starts.
        int32_t pid = 0;
        /// Whether the started process shows up among the running applications (after `registerPolls`
        /// calls of `running`).
        bool registers = true;
        int registerPolls = 0;
        /// Whether the started process ends at once (a launcher handing over to another instance).
        bool launcherExits = false;
        /// The instance the launcher hands over to, appearing among the running applications (whether or
        /// not the launcher exits).
        std::optional<platform::ApplicationProcess> successor;
        /// The program a launcher that stays alive starts as its child; it registers instead of the launcher.
        std::optional<platform::ApplicationProcess> child;
        /// The error `open` throws instead of starting anything.
        std::optional<std::string> openError;
    };

    std::vector<platform::ApplicationProcess> apps;
    /// Installed applications in the application directories' order.
    std::vector<Installed> installed;
    std::set<int32_t> terminated;
    std::vector<std::string> opened;
    std::vector<int32_t> activated;
    std::optional<platform::ScreenFrames> screen;
    int runningCalls = 0;
    /// Each process's parent, for `descendsFrom`.
    std::map<int32_t, int32_t> parents;

    std::vector<platform::ApplicationProcess> running() override;
    bool isTerminated(int32_t pid) override { return terminated.count(pid) > 0; }
    bool isApplicationPath(const std::string& path) override;
    std::optional<std::string> applicationWithIdentity(const std::string& identity) override;
    std::optional<std::string> applicationNamed(const std::string& name) override;
    std::optional<std::string> applicationWithOtherName(const std::string& name) override;
    std::vector<std::string> installedNames() override;
    platform::ApplicationProcess open(const std::string& path) override;
    std::optional<std::string> identityOf(const std::string& path) override;
    bool descendsFrom(int32_t pid, int32_t ancestor) override;
    void activate(const platform::ApplicationProcess& application) override {
        activated.push_back(application.pid);
    }
    std::optional<platform::ScreenFrames> mainScreen() override { return screen; }

private:
    const Installed* find(const std::string& path) const;
    // Started processes waiting to register, with the number of polls still to go.
    std::map<int32_t, std::pair<platform::ApplicationProcess, int>> pending_;
};

}  // namespace fakes
