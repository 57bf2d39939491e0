#pragma once
// Applications in a Wayland session: installed ones are desktop entries and start as on X11; running ones
// are the processes that show top-level windows on the accessibility bus.

#include "platform/applications.h"
#include "platform/linux/x11/desktop_apps.h"

namespace platform::linux_desktop {

class WaylandApplications final : public Applications {
public:
    std::vector<ApplicationProcess> running() override;
    bool isTerminated(int32_t pid) override { return entries_.isTerminated(pid); }
    bool isApplicationPath(const std::string& path) override { return entries_.isApplicationPath(path); }
    std::optional<std::string> applicationWithIdentity(const std::string& identity) override {
        return entries_.applicationWithIdentity(identity);
    }
    std::optional<std::string> applicationNamed(const std::string& name) override {
        return entries_.applicationNamed(name);
    }
    ApplicationProcess open(const std::string& path) override { return entries_.open(path); }
    std::optional<std::string> identityOf(const std::string& path) override { return entries_.identityOf(path); }
    bool descendsFrom(int32_t pid, int32_t ancestor) override { return entries_.descendsFrom(pid, ancestor); }
    /// Wayland lets no client raise another's window: the compositor focuses a window as it maps, and the
    /// recorder checks that the window it records has the focus.
    void activate(const ApplicationProcess&) override {}
    std::optional<ScreenFrames> mainScreen() override;
    /// A Wayland client's size is its own to choose; no window is placed from outside.
    bool placeWindow(const ApplicationProcess&, uint64_t, const Rect&) override { return false; }

private:
    // The desktop-entry side, which needs no display (its X11 parts are not called).
    DesktopApplications entries_;
};

/// The identity, name and entry of the application that process `pid` runs, whose toolkit calls itself
/// `programName` on the accessibility bus.
ApplicationProcess describeProcess(int32_t pid, const std::string& programName);

}  // namespace platform::linux_desktop
