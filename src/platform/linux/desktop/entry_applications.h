#pragma once
// The part of the applications service that is the same on every desktop: installed applications are
// desktop entries (or programs named by path), starting one runs its command detached, and processes are
// looked up in /proc. A desktop module's applications service derives from it and adds what only its desktop
// knows: the running applications, activating and placing their windows, the main screen.

#include <string>

#include "platform/applications.h"
#include "platform/linux/desktop/desktop_entries.h"

namespace platform::linux_desktop {

/// The names people read for the application of `entry`, other than its Name: its generic name, then its
/// full name, those it has.
std::vector<std::string> otherNamesOf(const DesktopEntry& entry);

class EntryApplications : public Applications {
public:
    bool isTerminated(int32_t pid) override;
    bool isApplicationPath(const std::string& path) override;
    std::optional<std::string> applicationWithIdentity(const std::string& identity) override;
    std::optional<std::string> applicationNamed(const std::string& name) override;
    std::optional<std::string> applicationWithOtherName(const std::string& name) override;
    std::vector<std::string> installedNames() override;
    ApplicationProcess open(const std::string& path) override;
    std::optional<std::string> identityOf(const std::string& path) override;
    bool descendsFrom(int32_t pid, int32_t ancestor) override;
};

}  // namespace platform::linux_desktop
