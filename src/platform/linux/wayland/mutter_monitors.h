#pragma once
// The monitors as the compositor lays them out (org.gnome.Mutter.DisplayConfig).

#include <vector>

#include "platform/screen_capture.h"

namespace platform::linux_desktop {

/// The logical monitors, in points of the compositor's layout, the primary one flagged; empty when the
/// compositor does not answer.
std::vector<ShareableDisplay> mutterMonitors();

}  // namespace platform::linux_desktop
