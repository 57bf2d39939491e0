// Java's menus and pop-up windows as the ATK wrapper shows them.
//
// A Swing menu's items are the accessible children of the menu (its title in the menu bar, or the item that
// opens a submenu), but they are drawn in the menu's pop-up, a "popup menu" object elsewhere in the tree (in
// the window's layered pane, or in a top-level window of its own when it does not fit the window) that lists
// the same objects. The wrapper measures each item from where its menu is drawn instead of from the pop-up:
// Edit › Select All is reported 19 pixels above where it is drawn, one title's height. The pop-up itself is
// measured right, so an item is where the pop-up is, plus its offset from its menu.
//
// A pop-up window (an override-redirect X11 window) is reported off by the main window's content origin;
// its root pane, its only child, is measured right and is the X11 window's client area.

#include "platform/linux/atspi/atspi_java.h"

#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/atspi/atspi_toolkit.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_window_frame.h"

namespace platform::linux_desktop {
namespace {

// How deep under a top-level a menu's pop-up is looked for: a window, its root pane, the layered pane, the
// panel that holds the pop-up, the pop-up.
constexpr int kPopupDepth = 5;
// Objects with more children are not searched for a pop-up (a pop-up sits beside a handful of panels).
constexpr int kMostChildrenSearched = 64;
// Submenus inside submenus followed at most when measuring an item.
constexpr int kMostMenuLevels = 8;
// A pop-up's place answers the reads of the next moment (every item of a menu asks for it).
constexpr double kPopupPlaceFreshSeconds = 0.25;
constexpr double kSlackPixels = 2;

bool isShowing(AtspiAccessible* object) {
    const auto states = readStates(object);
    return states && hasState(*states, ATSPI_STATE_SHOWING);
}

bool hasPlace(const std::optional<Extents>& extents) {
    return extents && extents->position && extents->size.width > 0 && extents->size.height > 0;
}

bool sameObject(AtspiAccessible* a, AtspiAccessible* b) {
    return a == b || (busNameOf(a) == busNameOf(b) && objectPathOf(a) == objectPathOf(b));
}

void unrefAll(const std::vector<AtspiAccessible*>& objects) {
    for (AtspiAccessible* object : objects) g_object_unref(object);
}

// Whether the showing pop-up `popup` lists `item` at `index`, as the pop-up of the item's menu does.
bool listsAt(AtspiAccessible* popup, int index, AtspiAccessible* item) {
    const auto child = atspiCall(
        popup, [&](GError** error) { return atspi_accessible_get_child_at_index(popup, index, error); },
        [](AtspiAccessible* found) { return found == nullptr; });
    if (!child) return false;
    const bool same = sameObject(*child, item);
    g_object_unref(*child);
    return same;
}

// The position of the showing pop-up under `object` (at most `depth` levels down, through showing objects)
// that lists `item` at `index`.
std::optional<Point> popupListing(AtspiAccessible* object, int depth, int index, AtspiAccessible* item) {
    const auto role = readRole(object);
    if (!role || !isShowing(object)) return std::nullopt;
    if (*role == ATSPI_ROLE_POPUP_MENU) {
        const auto extents = readExtents(object);
        if (hasPlace(extents) && listsAt(object, index, item)) return extents->position;
        return std::nullopt;
    }
    if (depth == 0 || *role == ATSPI_ROLE_MENU_BAR || *role == ATSPI_ROLE_MENU) return std::nullopt;
    const auto count = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_child_count(object, error); },
        [](gint n) { return n < 0; });
    if (!count || *count > kMostChildrenSearched) return std::nullopt;
    const auto children = readChildren(object, *count);
    if (!children) return std::nullopt;
    std::optional<Point> found;
    for (AtspiAccessible* child : *children) {
        found = popupListing(child, depth - 1, index, item);
        if (found) break;
    }
    unrefAll(*children);
    return found;
}

// Where the pop-up of the menu `menu`, which holds `item`, is drawn; kept a moment by menu.
std::optional<Point> popupOf(AtspiAccessible* menu, AtspiAccessible* item) {
    static std::map<std::string, std::pair<double, Point>> kept;
    const std::string key = busNameOf(menu) + objectPathOf(menu);
    const double now = detail::nowSeconds();
    if (const auto found = kept.find(key); found != kept.end() && now - found->second.first <= kPopupPlaceFreshSeconds)
        return found->second.second;
    const auto index = atspiCall(
        item, [&](GError** error) { return atspi_accessible_get_index_in_parent(item, error); },
        [](gint found) { return found < 0; });
    const auto application = atspiCall(
        item, [&](GError** error) { return atspi_accessible_get_application(item, error); },
        [](AtspiAccessible* found) { return found == nullptr; });
    if (!index || !application) {
        if (application) g_object_unref(*application);
        return std::nullopt;
    }
    std::optional<Point> found;
    if (const auto topLevels = readChildren(*application)) {
        for (AtspiAccessible* topLevel : *topLevels) {
            found = popupListing(topLevel, kPopupDepth, *index, item);
            if (found) break;
        }
        unrefAll(*topLevels);
    }
    g_object_unref(*application);
    if (found)
        kept[key] = {now, *found};
    else
        kept.erase(key);
    return found;
}

// Where `object` is drawn, given its reported extents and its parent: an object whose parent is a menu is
// in that menu's pop-up, at the offset from the menu that the wrapper reports. The menu itself may be an
// item of another menu: measured the same way, `levels` deep at most.
std::optional<Point> drawnPosition(AtspiAccessible* object, AtspiAccessible* parent, const Point& reported,
                                   int levels) {
    if (levels == 0 || readRole(parent) != ATSPI_ROLE_MENU) return std::nullopt;
    const auto menuExtents = readExtents(parent);
    if (!hasPlace(menuExtents)) return std::nullopt;
    Point menu = *menuExtents->position;
    if (AtspiAccessible* grandParent = readParent(parent)) {
        if (const auto drawn = drawnPosition(parent, grandParent, menu, levels - 1)) menu = *drawn;
        g_object_unref(grandParent);
    }
    const auto popup = popupOf(parent, object);
    if (!popup) return std::nullopt;
    return Point{popup->x + reported.x - menu.x, popup->y + reported.y - menu.y};
}

// The frame of a Java top-level that reports a size: the X11 window whose client area is where its root
// pane is, with the window manager's frame when it has one; the root pane's own place when no such window
// is found.
std::optional<Extents> topLevelFrame(AtspiAccessible* topLevel) {
    const auto rootPane = atspiCall(
        topLevel, [&](GError** error) { return atspi_accessible_get_child_at_index(topLevel, 0, error); },
        [](AtspiAccessible* found) { return found == nullptr; });
    if (!rootPane) return std::nullopt;
    const auto content = readExtents(*rootPane);
    g_object_unref(*rootPane);
    if (!hasPlace(content)) return std::nullopt;
    const Rect drawn = Rect::of(*content->position, content->size);
    const auto pid = readProcessId(topLevel);
    Display* display = queryDisplay();
    if (pid && display) {
        const auto near = [](double a, double b) { return std::abs(a - b) <= kSlackPixels; };
        for (const ClientWindow& window : clientWindowsTopFirst(display)) {
            const Rect& client = window.clientArea;
            if (window.pid == *pid && near(client.x, drawn.x) && near(client.y, drawn.y) &&
                near(client.width, drawn.width) && near(client.height, drawn.height))
                return Extents{window.frame.origin(), window.frame.size()};
        }
    }
    return content;
}

}  // namespace

std::optional<Extents> javaScreenExtents(const AtspiNode& node, const std::optional<Extents>& reported) {
    if (node.kind() != NodeKind::object || !hasPlace(reported) || isWayland(desktopSession())) return std::nullopt;
    AtspiAccessible* object = node.object();
    if (!runsJava(object)) return std::nullopt;
    // Only objects in menus and top-levels are measured elsewhere: a parent role known from the walk saves
    // reading the parent of every other object.
    const auto knownParentRole = node.parentRoleMemo();
    if (knownParentRole && *knownParentRole != ATSPI_ROLE_MENU && *knownParentRole != ATSPI_ROLE_APPLICATION)
        return std::nullopt;
    AtspiAccessible* parent = readParent(object);
    if (!parent) return std::nullopt;
    std::optional<Extents> drawn;
    const auto parentRole = readRole(parent);
    if (parentRole == ATSPI_ROLE_APPLICATION) {
        drawn = topLevelFrame(object);
    } else if (parentRole == ATSPI_ROLE_MENU) {
        if (const auto position = drawnPosition(object, parent, *reported->position, kMostMenuLevels))
            drawn = Extents{*position, reported->size};
    }
    g_object_unref(parent);
    return drawn;
}

bool selectingClosesJavaMenu(AtspiAccessible* item) {
    return runsJava(item);
}

}  // namespace platform::linux_desktop
