#pragma once
// GTK 3 on Wayland draws its window's shadow inside its own surface (client-side decoration) and gives the
// window object the surface's extents, shadow included, while the window's children (its title bar and its
// content) cover only what a person sees. This is that rule, answered in one place for the accessibility
// backend and the Wayland desktop module: plain libatspi calls, no state.

#include <atspi/atspi.h>

#include <optional>

#include "platform/accessibility.h"

namespace platform::linux_desktop {

/// The part of the top-level `window` that a person sees, in the window's own coordinates (origin at the
/// corner of its extents), when its toolkit measures the window with a shadow around it: GTK 3, whose
/// showing children then leave a margin on every side. Nothing for other toolkits, or when the children
/// reach any side of the window. Asked only in a Wayland session; on X11 the shadow is declared (`_GTK_FRAME_EXTENTS`).
std::optional<Rect> shadowFreePartOf(AtspiAccessible* window);

}  // namespace platform::linux_desktop
