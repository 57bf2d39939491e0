#include "platform/linux/atspi/atspi_geometry.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "platform/linux/atspi/atspi_java.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/atspi/atspi_toolkit.h"
#include "platform/linux/atspi/atspi_window_kind.h"
#include "platform/linux/bus/window_shadow.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_window_frame.h"

namespace platform::linux_desktop {
namespace {

constexpr int kMaxParentClimb = 256;
// A placement answers the reads of the next moment (a dump reads hundreds of frames in a second); a window
// that moves meanwhile is seen again after this long.
constexpr double kPlacementFreshSeconds = 0.25;
// How far a toolkit's measure of a top-level may be from its X11 client window and still be that window.
constexpr double kClientAreaSlackPixels = 2;

std::map<std::string, std::pair<double, WindowPlacement>>& placements() {
    static std::map<std::string, std::pair<double, WindowPlacement>> kept;
    return kept;
}

// When the walk under way began, if one is.
std::optional<double> walkBeganSeconds;

std::optional<WindowPlacement> placementOf(AtspiAccessible* topLevel) {
    // A Wayland client knows no place of its own: its extents stay in its window's coordinates, which are
    // the ones the backend uses there, and no X window (an XWayland one) may be taken for it.
    if (isWayland(desktopSession())) return std::nullopt;
    const auto pid = readProcessId(topLevel);
    const auto extents = readExtents(topLevel);
    if (!pid || !extents) return std::nullopt;
    Display* display = queryDisplay();
    if (!display) return std::nullopt;
    const auto window = findClientWindow(display, *pid, readName(topLevel).value_or(""), std::nullopt);
    if (!window) return std::nullopt;
    WindowPlacement placement;
    const Rect& client = window->clientArea;
    if (const auto shadow = window->invisibleMargins) {
        // Drawn by a compositor: the shadow around the content is declared, and is no part of the window.
        placement.contentOrigin = {client.x + shadow->left, client.y + shadow->top};
        placement.visibleFrame = {placement.contentOrigin.x, placement.contentOrigin.y,
                                  client.width - shadow->left - shadow->right,
                                  client.height - shadow->top - shadow->bottom};
        return placement;
    }
    // Without a compositor GTK 4 draws a border of its own inside the X11 window, and measures the window's
    // content inside it: the border is what the two sizes differ by, the same on every side.
    const double borderX = std::max(0.0, (client.width - extents->size.width) / 2);
    const double borderY = std::max(0.0, (client.height - extents->size.height) / 2);
    placement.contentOrigin = {client.x + borderX, client.y + borderY};
    placement.visibleFrame = window->frame;
    return placement;
}

// On Wayland only the compositor knows where a window is: the desktop module answers when it can (KWin
// through its scripts). Otherwise every window is measured from its own corner, the coordinates of its
// screen cast and of the pointer aimed at it. A native client already answers so (its window is at 0, 0); an
// XWayland client answers in X11 screen coordinates, from which its window's position is taken away. A
// toolkit that measures its window with the shadow it draws has the visible part as its frame.
std::optional<WindowPlacement> waylandPlacementOf(AtspiAccessible* topLevel) {
    const auto extents = readExtents(topLevel);
    if (!extents) return std::nullopt;
    if (const DesktopGeometry* desktop = desktopGeometry()) {
        if (const auto pid = readProcessId(topLevel)) {
            if (const auto placement = desktop->placementOf(*pid, readName(topLevel).value_or(""), extents->size))
                return WindowPlacement{placement->contentOrigin, placement->visibleFrame};
        }
    }
    const Point corner = extents->position.value_or(Point{0, 0});
    const Rect visible = shadowFreePartOf(topLevel).value_or(Rect::of({0, 0}, extents->size));
    return WindowPlacement{{-corner.x, -corner.y}, visible};
}

bool sameObject(AtspiAccessible* a, AtspiAccessible* b) {
    return a == b || (busNameOf(a) == busNameOf(b) && objectPathOf(a) == objectPathOf(b));
}

// A GTK 4 pop-over is a surface of its own (an override-redirect X11 window of the same size), while the
// toolkit measures it and its objects from its parent widget's place in the window: the translation is where
// that window is against where the pop-over says it is.
std::optional<WindowPlacement> popoverPlacementOf(AtspiAccessible* popover) {
    if (isWayland(desktopSession())) return std::nullopt;
    const auto pid = readProcessId(popover);
    const auto extents = readExtents(popover);
    if (!pid || !extents || !extents->position) return std::nullopt;
    Display* display = queryDisplay();
    if (!display) return std::nullopt;
    for (const ClientWindow& window : clientWindowsTopFirst(display)) {
        if (window.pid != *pid || !window.overrideRedirect) continue;
        if (std::abs(window.frame.width - extents->size.width) > 1 ||
            std::abs(window.frame.height - extents->size.height) > 1)
            continue;
        return WindowPlacement{{window.frame.x - extents->position->x, window.frame.y - extents->position->y},
                               window.frame};
    }
    return std::nullopt;
}

// Placements are kept a moment, by object.
template <typename Compute>
std::optional<WindowPlacement> kept(AtspiAccessible* object, Compute compute) {
    const std::string key = busNameOf(object) + objectPathOf(object);
    const double now = detail::nowSeconds();
    auto& all = placements();
    if (const auto found = all.find(key); found != all.end()) {
        const double madeSeconds = found->second.first;
        if (now - madeSeconds <= kPlacementFreshSeconds || (walkBeganSeconds && madeSeconds >= *walkBeganSeconds))
            return found->second.second;
    }
    auto placement = compute(object);
    if (placement)
        all[key] = {now, *placement};
    else
        all.erase(key);
    return placement;
}

// The GTK 4 pop-over holding the node's object (the object itself when it is one), a new reference; null
// when it is in none.
AtspiAccessible* popoverOf(const AtspiNode& node) {
    if (node.atspiRole() == ATSPI_ROLE_MENU) return static_cast<AtspiAccessible*>(g_object_ref(node.object()));
    if (const auto known = node.popoverMemo())
        return *known ? static_cast<AtspiAccessible*>(g_object_ref(*known)) : nullptr;
    AtspiAccessible* current = static_cast<AtspiAccessible*>(g_object_ref(node.object()));
    AtspiAccessible* found = nullptr;
    for (int step = 0; step < kMaxParentClimb && current; ++step) {
        const auto role = readRole(current);
        if (!role || *role == ATSPI_ROLE_APPLICATION || *role == ATSPI_ROLE_DESKTOP_FRAME) break;
        if (*role == ATSPI_ROLE_MENU) {
            found = current;
            current = nullptr;
            break;
        }
        AtspiAccessible* parent = readParent(current);
        g_object_unref(current);
        current = parent;
    }
    if (current) g_object_unref(current);
    node.rememberPopover(found);
    return found;
}

// The frame of the X11 window behind a top-level whose toolkit measures only its client window (Qt 5 and 6,
// Gecko): the window manager's frame around it, as `windows` and the capture give it. Nothing when the
// toolkit's extents are not its client window's (GTK 3 measures the frame itself; a top-level of no window
// of its own), or when no X11 window is found.
std::optional<WindowPlacement> managerFramePlacementOf(AtspiAccessible* topLevel) {
    const auto pid = readProcessId(topLevel);
    const auto extents = readExtents(topLevel);
    if (!pid || !extents || !extents->position) return std::nullopt;
    Display* display = queryDisplay();
    if (!display) return std::nullopt;
    const Rect reported = Rect::of(*extents->position, extents->size);
    const auto window = findClientWindow(display, *pid, readName(topLevel).value_or(""), reported);
    if (!window) return std::nullopt;
    const Rect& client = window->clientArea;
    const auto near = [](double a, double b) { return std::abs(a - b) <= kClientAreaSlackPixels; };
    if (!near(client.x, reported.x) || !near(client.y, reported.y) || !near(client.width, reported.width) ||
        !near(client.height, reported.height))
        return std::nullopt;
    return WindowPlacement{{0, 0}, window->frame};
}

}  // namespace

std::optional<AtspiAccessible*> popoverForChildren(const AtspiNode& node) {
    if (node.kind() == NodeKind::object && node.atspiRole() == ATSPI_ROLE_MENU && runsGtk4(node.object()))
        return node.object();
    return node.popoverMemo();
}

std::optional<WindowPlacement> windowRelativePlacement(AtspiAccessible* topLevel) {
    if (topLevel && isWayland(desktopSession())) return kept(topLevel, waylandPlacementOf);
    if (!topLevel || !runsGtk4(topLevel)) return std::nullopt;
    return kept(topLevel, placementOf);
}

AtspiAccessible* topLevelOf(const AtspiNode& node) {
    if (AtspiAccessible* known = node.topLevelMemo()) return static_cast<AtspiAccessible*>(g_object_ref(known));
    AtspiAccessible* current = static_cast<AtspiAccessible*>(g_object_ref(node.object()));
    for (int step = 0; step < kMaxParentClimb; ++step) {
        AtspiAccessible* parent = readParent(current);
        if (!parent) break;
        const auto role = atspiCall(
            parent, [&](GError** error) { return atspi_accessible_get_role(parent, error); },
            [](AtspiRole found) { return found == ATSPI_ROLE_INVALID; });
        if (!role || *role == ATSPI_ROLE_DESKTOP_FRAME) {
            g_object_unref(parent);
            break;
        }
        if (*role == ATSPI_ROLE_APPLICATION) {
            g_object_unref(parent);
            node.rememberTopLevel(current);
            return current;
        }
        g_object_unref(current);
        current = parent;
    }
    g_object_unref(current);
    return nullptr;
}

namespace {

// Whether the node is a top-level: the top-level remembered for it is itself, else its parent is the
// application (one parent read, not a climb: objects without a size are many in closed menus).
bool isTopLevelObject(const AtspiNode& node) {
    if (AtspiAccessible* known = node.topLevelMemo()) return sameObject(known, node.object());
    AtspiAccessible* parent = readParent(node.object());
    if (!parent) return false;
    const auto role = atspiCall(
        parent, [&](GError** error) { return atspi_accessible_get_role(parent, error); },
        [](AtspiRole found) { return found == ATSPI_ROLE_INVALID; });
    g_object_unref(parent);
    return role && *role == ATSPI_ROLE_APPLICATION;
}

}  // namespace

std::optional<Extents> screenExtents(const AtspiNode& node) {
    AtspiAccessible* object = node.object();
    auto extents = readExtents(object);
    // A top-level whose toolkit gives no frame (the Java ATK wrapper) is where its X11 window is.
    if ((!extents || extents->size.width <= 0 || extents->size.height <= 0) && !isWayland(desktopSession()) &&
        isTopLevelObject(node))
        if (auto frame = x11FrameOfTopLevel(object)) return frame;
    if (!extents) return extents;
    if (auto drawn = javaScreenExtents(node, extents)) return drawn;
    if (!isWayland(desktopSession()) && !runsGtk4(object)) {
        // Screen coordinates already; a top-level (known from the walk that found it) that the toolkit measures
        // without the window manager's frame gets that frame, which every other measure of the window uses.
        if (node.topLevelMemo() != object && node.parentRoleMemo() != ATSPI_ROLE_APPLICATION) return extents;
        if (const auto placement = kept(object, managerFramePlacementOf))
            return Extents{placement->visibleFrame.origin(), placement->visibleFrame.size()};
        return extents;
    }
    // Measured from the pop-over it is in, else from its window.
    AtspiAccessible* reference = runsGtk4(object) ? popoverOf(node) : nullptr;
    const bool inPopover = reference != nullptr;
    if (!reference) reference = topLevelOf(node);
    if (!reference) return extents;
    const auto placement = inPopover ? kept(reference, popoverPlacementOf) : windowRelativePlacement(reference);
    const bool isReference = sameObject(reference, object);
    g_object_unref(reference);
    if (!placement) return extents;
    if (isReference) return Extents{placement->visibleFrame.origin(), placement->visibleFrame.size()};
    if (extents->position)
        extents->position = Point{extents->position->x + placement->contentOrigin.x,
                                  extents->position->y + placement->contentOrigin.y};
    return extents;
}

Point toolkitPoint(AtspiAccessible* topLevel, Point point) {
    const auto placement = windowRelativePlacement(topLevel);
    if (!placement) return point;
    return {point.x - placement->contentOrigin.x, point.y - placement->contentOrigin.y};
}

void forgetWindowPlacements() { placements().clear(); }

void windowPlacementsForWalk(bool underWay) {
    walkBeganSeconds = underWay ? std::optional(detail::nowSeconds()) : std::nullopt;
}

}  // namespace platform::linux_desktop
