// Hit testing: the top-level window under the point (from X11's stacking order, or the Wayland compositor's
// through the desktop module), its accessible window, then the deepest accessible object at the point inside
// it.

#include <cmath>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_geometry.h"
#include "platform/linux/atspi/atspi_toolkit.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_window_kind.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_window_frame.h"

namespace platform::linux_desktop {
namespace {

constexpr int kMaxHitDepth = 64;

std::optional<Rect> rectOf(const Element& element) {
    const auto extents = screenExtents(nodeOf(element));
    if (!extents || !extents->position) return std::nullopt;
    return Rect::of(*extents->position, extents->size);
}

double mismatch(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) + std::abs(a.y - b.y) +
           std::abs(a.width - b.width) + std::abs(a.height - b.height);
}

// Among the application's top-level accessibles (including pop-ups such as open menus), the one that covers
// the point and best matches the X11 window found there.
AtspiAccessible* accessibleWindowFor(AtspiAccessible* application, const ClientWindow& window, Point point) {
    auto children = readChildren(application);
    if (!children) return nullptr;
    AtspiAccessible* best = nullptr;
    double bestMismatch = 0;
    for (AtspiAccessible* child : *children) {
        const Element element = adoptElement(static_cast<AtspiAccessible*>(g_object_ref(child)));
        nodeOf(element).rememberTopLevel(child);
        const auto rect = rectOf(element);
        if (rect && rect->contains(point)) {
            const double score = std::min(mismatch(*rect, window.frame), mismatch(*rect, window.clientArea));
            if (!best || score < bestMismatch) {
                if (best) g_object_unref(best);
                best = child;
                bestMismatch = score;
                continue;
            }
        }
        g_object_unref(child);
    }
    return best;
}

// Descends from `object` (a top-level) to the deepest accessible that the toolkit reports at the point,
// asked in the toolkit's own coordinates.
AtspiAccessible* deepestAt(AtspiAccessible* object, Point point) {
    const Point asked = toolkitPoint(object, point);
    const int x = static_cast<int>(std::floor(asked.x)), y = static_cast<int>(std::floor(asked.y));
    for (int depth = 0; depth < kMaxHitDepth; ++depth) {
        AtspiComponent* component = atspiInterface(object, atspi_accessible_get_component_iface);
        if (!component) break;
        const auto hit = atspiCall(
            object,
            [&](GError** error) {
                return atspi_component_get_accessible_at_point(component, x, y, ATSPI_COORD_TYPE_SCREEN, error);
            },
            [](AtspiAccessible* found) { return found == nullptr; });
        g_object_unref(component);
        if (!hit) break;
        if (busNameOf(*hit) == busNameOf(object) && objectPathOf(*hit) == objectPathOf(object)) {
            g_object_unref(*hit);
            break;
        }
        g_object_unref(object);
        object = *hit;
    }
    return object;
}

// An open menu is a pop-up window of its own, which GTK does not list among the application's top-level
// objects: the item under the point is the deepest one in the menu bar's tree that is on screen there (items
// of closed menus have no position). Breadth first, at most 400 elements.
std::optional<Element> openMenuItemAt(AtspiAccessibility& service, const Element& application, Point point) {
    constexpr size_t kMenuBudget = 400;
    const auto bar = menuBarOf(application);
    if (!bar) return std::nullopt;
    std::vector<Element> queue{*bar};
    std::optional<Element> deepest;
    for (size_t next = 0; next < queue.size() && next < kMenuBudget; ++next) {
        const Element element = queue[next];
        if (nodeOf(element).kind() == NodeKind::object && next > 0) {
            const auto rect = rectOf(element);
            if (rect && rect->contains(point)) deepest = element;
        }
        if (auto children = service.children(element)) queue.insert(queue.end(), children->begin(), children->end());
    }
    return deepest;
}

// GTK 4.8 answers the point question for some objects only (a header bar's buttons give the window), and a
// top-level that reports no frame of its own (the Java ATK wrapper) answers it for none, so for them the
// deepest object is found from the frames the backend reports: from `from`, the last child
// whose frame holds the point, again and again (at most 64 levels).
Element deepestByFrames(AtspiAccessibility& service, Element from, Point point) {
    for (int depth = 0; depth < kMaxHitDepth; ++depth) {
        const auto children = service.children(from);
        if (!children) break;
        std::optional<Element> holder;
        for (const Element& child : *children) {
            const auto rect = rectOf(child);
            if (rect && rect->width > 0 && rect->height > 0 && rect->contains(point)) holder = child;
        }
        if (!holder) break;
        from = *holder;
    }
    return from;
}

// The child of `parent` whose frame holds the point (the last one, as drawn last), looking through children
// that have no frame of their own to theirs: GTK 3.24 gives a notebook's page tab no extents when the tabs are
// hidden (GNOME Terminal 3.46 with one tab, mousepad 0.5.10), and answers the point question on the notebook
// with nothing. An object that manages its descendants (a table that makes its cells as they are asked for)
// is never asked for its children: the toolkit's answer about it stands.
std::optional<Element> childAt(AtspiAccessibility& service, const Element& parent, Point point, int lookThrough = 1) {
    const auto states = readStates(nodeOf(parent).object());
    if (!states || hasState(*states, ATSPI_STATE_MANAGES_DESCENDANTS)) return std::nullopt;
    const auto children = service.children(parent);
    if (!children) return std::nullopt;
    std::optional<Element> holder;
    std::vector<Element> frameless;
    for (const Element& child : *children) {
        const auto rect = rectOf(child);
        if (!rect) frameless.push_back(child);
        else if (rect->width > 0 && rect->height > 0 && rect->contains(point)) holder = child;
    }
    if (holder || lookThrough == 0) return holder;
    for (const Element& child : frameless)
        if (auto inside = childAt(service, child, point, lookThrough - 1)) holder = inside;
    return holder;
}

// The deepest object at the point below a top-level of a toolkit that answers the point question: the
// toolkit's answer, and where it answers nothing more while a child's frame holds the point, that child and
// the toolkit's answer below it again.
Element deepestAsked(AtspiAccessibility& service, AtspiAccessible* topLevel, Point point) {
    Element found = adoptElement(deepestAt(topLevel, point));
    for (int depth = 0; depth < kMaxHitDepth; ++depth) {
        const auto child = childAt(service, found, point);
        if (!child) break;
        found = adoptElement(deepestAt(static_cast<AtspiAccessible*>(g_object_ref(nodeOf(*child).object())), point));
    }
    return found;
}

// The top-level window under the point: X11's stacking order, or on Wayland, where only the compositor knows
// which window is in front, the desktop module's answer (none when it cannot tell).
std::optional<ClientWindow> topWindowAt(Point point) {
    if (isWayland(desktopSession())) {
        const DesktopGeometry* desktop = desktopGeometry();
        const auto found = desktop && desktop->topLevelAt ? desktop->topLevelAt(point) : std::nullopt;
        if (!found) return std::nullopt;
        ClientWindow window;
        window.pid = found->pid;
        window.title = found->title;
        window.outer = window.frame = window.clientArea = found->visibleFrame;
        return window;
    }
    Display* display = queryDisplay();
    if (!display) return std::nullopt;
    return clientWindowAt(display, point);
}

}  // namespace

std::optional<Element> AtspiAccessibility::elementAtPoint(Point point) {
    if (!std::isfinite(point.x) || !std::isfinite(point.y) || !atspiReady()) return std::nullopt;
    const std::optional<ClientWindow> top = topWindowAt(point);
    if (!top || top->pid <= 0) return std::nullopt;
    const auto app = application(top->pid);
    if (!app) return std::nullopt;
    if (top->overrideRedirect)
        if (auto item = openMenuItemAt(*this, *app, point)) return item;
    AtspiAccessible* window = accessibleWindowFor(nodeOf(*app).object(), *top, point);
    if (!window) return std::nullopt;
    if (runsGtk4(window) || reportsNoFrame(window)) {
        const Element topLevel = adoptElement(window);
        nodeOf(topLevel).rememberTopLevel(window);
        return deepestByFrames(*this, topLevel, point);
    }
    return deepestAsked(*this, window, point);
}

}  // namespace platform::linux_desktop
