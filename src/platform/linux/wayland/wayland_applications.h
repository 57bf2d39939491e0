#pragma once
// Applications in a Wayland session: installed ones are desktop entries and start as on X11; running ones
// are the processes that show windows, as GNOME Shell's extension lists them, or, without it, as top-level
// windows on the accessibility bus.

#include "platform/linux/desktop/entry_applications.h"

namespace platform::linux_desktop {

class WaylandApplications final : public EntryApplications {
public:
    std::vector<ApplicationProcess> running() override;
    /// Gives the application's front window the focus through the shell extension. Without it nothing
    /// happens: no Wayland client can raise another's window; the compositor focuses a window as it maps,
    /// and the recorder checks that the window it records has the focus.
    void activate(const ApplicationProcess& application) override;
    /// The primary monitor, and the part of it windows may use when the shell extension says (without the
    /// shell's panel).
    std::optional<ScreenFrames> mainScreen() override;
    /// Places window `windowID` through the shell extension; without it false: a Wayland client's place and
    /// size are not another client's to choose.
    bool placeWindow(const ApplicationProcess& application, uint64_t windowID, const Rect& frame) override;
};

/// The identity, name and entry of the application that process `pid` runs, whose toolkit calls itself
/// `programName` (on the accessibility bus, or as its window's class) and whose desktop entry the shell
/// matched as `entryId` ("" when not known).
ApplicationProcess describeProcess(int32_t pid, const std::string& programName, const std::string& entryId = "");

}  // namespace platform::linux_desktop
