#pragma once
// The applications' top-level windows on the accessibility bus, as this module lists them without the shell
// extension: the compositor's own accessible objects left out.

#include <vector>

#include "platform/linux/bus/atspi_top_levels.h"

namespace platform::linux_desktop {

/// Every showing top-level window of every application on the accessibility bus, except those of the
/// compositor's own process: GNOME Shell puts its stage there as a full-screen window of "GNOME Shell", which
/// is no application's window. Empty when the accessibility bus cannot be reached.
std::vector<TopLevel> applicationTopLevels();

}  // namespace platform::linux_desktop
