#pragma once
// Which of GNOME Shell's windows an accessible top-level is, and where its accessible coordinates start: the
// window geometry the accessibility module asks the desktop module for (module_entry.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/module_entry.h"
#include "platform/linux/wayland/shell_extension.h"

namespace platform::linux_desktop {

/// A shell window matched to an accessible top-level, and the screen point the top-level's accessible
/// coordinates start at.
struct ShellTopLevel {
    ShellWindow window;
    Point contentOrigin;
};

/// Among `windows`, the one that is the accessible top-level of process `pid` with the accessible title
/// `title` and extents of size `accessibleSize`. A toolkit measures its objects from a corner of its own: the
/// surface's (GTK 3, with the shadow it draws: its extents have the buffer frame's size) or the window's (GTK
/// 4: the frame's size); an Xwayland client in screen coordinates (the corner 0, 0). A window whose title is
/// the accessible one is preferred; without one, only a window whose frame or surface has the accessible size
/// (two pixels either way) is taken. Minimized windows are not on screen and never match.
std::optional<ShellTopLevel> shellTopLevelOf(const std::vector<ShellWindow>& windows, int32_t pid,
                                             const std::string& title, Size accessibleSize);

/// The geometry and requests the accessibility module asks of this module, answered through the shell
/// extension; nothing, or false, without it. Each asks the shell afresh.
std::optional<TopLevelPlacement> shellPlacementOf(int32_t pid, const std::string& title, Size accessibleSize);
bool setShellVisibleFrame(int32_t pid, const std::string& title, Size accessibleSize, std::optional<Point> origin,
                          std::optional<Size> size);
bool raiseShellWindow(int32_t pid, const std::string& title, Size accessibleSize);
std::optional<TopLevelAtPoint> shellTopLevelAt(Point point);

}  // namespace platform::linux_desktop
