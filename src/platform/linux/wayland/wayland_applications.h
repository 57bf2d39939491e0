#pragma once
// Applications in a Wayland session: installed ones are desktop entries and start as on X11; running ones
// are the processes that show top-level windows on the accessibility bus.

#include "platform/linux/desktop/entry_applications.h"

namespace platform::linux_desktop {

class WaylandApplications final : public EntryApplications {
public:
    std::vector<ApplicationProcess> running() override;
    /// Wayland lets no client raise another's window: the compositor focuses a window as it maps, and the
    /// recorder checks that the window it records has the focus.
    void activate(const ApplicationProcess&) override {}
    std::optional<ScreenFrames> mainScreen() override;
    /// A Wayland client's size is its own to choose; no window is placed from outside.
    bool placeWindow(const ApplicationProcess&, uint64_t, const Rect&) override { return false; }
};

/// The identity, name and entry of the application that process `pid` runs, whose toolkit calls itself
/// `programName` on the accessibility bus.
ApplicationProcess describeProcess(int32_t pid, const std::string& programName);

}  // namespace platform::linux_desktop
