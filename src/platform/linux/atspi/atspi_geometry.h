#pragma once
// Where objects are on the screen. AT-SPI is asked for screen coordinates, but GTK 4's bridge answers from
// the corner of the object's window content, whatever is asked; a pop-over's objects, which live in a
// surface of their own, are measured from where the pop-over's parent widget is in the window. Every frame and hit test of this backend passes through here, so that the core sees
// one coordinate space: global screen points.

#include <atspi/atspi.h>

#include <optional>

#include "platform/accessibility.h"
#include "platform/linux/atspi/atspi_node.h"

namespace platform::linux_desktop {

/// Where a window that the toolkit measures from its own corner is: the screen point its content (and so
/// every extent inside it) starts at, and its frame as a person sees it.
struct WindowPlacement {
    Point contentOrigin;
    Rect visibleFrame;
};

/// The placement of the top-level object `topLevel` when its toolkit measures from the window; nothing for
/// toolkits that report screen coordinates, or when its X11 window cannot be found. In a Wayland session
/// every window has one: each is measured from its own corner there.
std::optional<WindowPlacement> windowRelativePlacement(AtspiAccessible* topLevel);

/// The top-level object that holds the node's object (the object itself when it is one), a new reference;
/// null when there is none. Remembered by the node, and handed down to its children.
AtspiAccessible* topLevelOf(const AtspiNode& node);

/// The pop-over that the children of `node` are in, when known: the node itself when it is one, else the
/// one it is in (null when none). Nothing when not known yet.
std::optional<AtspiAccessible*> popoverForChildren(const AtspiNode& node);

/// The extents of the node's object in screen coordinates. A top-level window of a toolkit that measures
/// from the window has the frame a person sees (its X11 window, a drawn border included).
std::optional<Extents> screenExtents(const AtspiNode& node);

/// `point` on the screen in the coordinates the toolkit of `topLevel` answers hit tests in.
Point toolkitPoint(AtspiAccessible* topLevel, Point point);

/// Forgets the placements worked out so far (a window was just moved or resized).
void forgetWindowPlacements();

/// Whether a walk of a subtree (a tree dump) is under way: while it is, a placement worked out during it is
/// kept to its end, so that the walk's frames agree with each other and each window is looked up once.
void windowPlacementsForWalk(bool underWay);

}  // namespace platform::linux_desktop
