#pragma once
// Java programs seen through the ATK wrapper (Swing and AWT; wrapper 0.40 with OpenJDK 17, jEdit 5.5): where
// the items of its open menus and its pop-up windows are drawn, and how an item of an open menu is chosen.
// Every rule for this toolkit lives here; callers ask only when `runsJava` says the object is Java's.

#include <atspi/atspi.h>

#include <optional>

#include "platform/linux/atspi/atspi_node.h"
#include "platform/linux/atspi/atspi_reads.h"

namespace platform::linux_desktop {

/// The extents of the node's object where Java draws it, when the wrapper reports them elsewhere: an object
/// in an open menu (reported from the menu's title, drawn in the menu's pop-up) and a top-level window that
/// reports a size (a pop-up window, reported off by the main window's origin). Nothing when the object is
/// not Java's, no rule applies, or the place cannot be found; `reported` is what the wrapper says.
std::optional<Extents> javaScreenExtents(const AtspiNode& node, const std::optional<Extents>& reported);

/// Whether selecting `item` through its menu's Selection interface closes every menu without running the
/// item, so that the item is chosen with the pointer instead (Java's menus).
bool selectingClosesJavaMenu(AtspiAccessible* item);

}  // namespace platform::linux_desktop
