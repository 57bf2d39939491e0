#pragma once
// Top-level windows seen through the X11 windows behind them: which are splash screens, and where a top-level
// whose toolkit gives no frame of its own is (the Java ATK wrapper answers -1 for every window's extents).

#include <atspi/atspi.h>

#include <optional>

#include "platform/linux/atspi/atspi_reads.h"

namespace platform::linux_desktop {

/// The frame of the X11 window behind the top-level object `topLevel`, as the user sees it (decorations
/// included), when its toolkit reports no extents with a size; nothing when it does, in a Wayland session,
/// or when no X11 window of its process can be told to be its.
std::optional<Extents> x11FrameOfTopLevel(AtspiAccessible* topLevel);

/// Whether the toolkit reports no frame with a size for the top-level object `topLevel` (the Java ATK wrapper):
/// then it cannot answer which of its objects is at a point on screen either, and its objects' own frames tell.
bool reportsNoFrame(AtspiAccessible* topLevel);

}  // namespace platform::linux_desktop
