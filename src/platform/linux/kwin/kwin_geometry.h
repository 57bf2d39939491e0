#pragma once
// What the KWin module tells the accessibility module about top-level windows (module_entry.h): where each is
// on the screen, and moving, sizing and raising one, which only the compositor can do on Wayland.

#include "platform/linux/module_entry.h"

namespace platform::linux_desktop {

/// The placement of process `pid`'s window titled `title` whose accessible extents have size `accessibleSize`:
/// its accessible coordinates start at the corner of KWin's rectangle of that size (the surface for Qt 5 and
/// GTK 3, which measure their window with the shadow they draw; the client area for GTK 4, which measures it
/// without), and a person sees its client area. Nothing when KWin shows no such window or cannot be asked.
std::optional<TopLevelPlacement> kwinPlacementOf(int32_t pid, const std::string& title, Size accessibleSize);

/// Moves and sizes that window's client area (DesktopWindowRequests::setVisibleFrame).
bool kwinSetVisibleFrame(int32_t pid, const std::string& title, Size accessibleSize, std::optional<Point> origin,
                         std::optional<Size> size);

/// Raises that window and gives it the focus (DesktopWindowRequests::raise).
bool kwinRaise(int32_t pid, const std::string& title, Size accessibleSize);

}  // namespace platform::linux_desktop
