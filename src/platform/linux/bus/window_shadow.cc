#include "platform/linux/bus/window_shadow.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "platform/linux/main_context_turn.h"

namespace platform::linux_desktop {
namespace {

constexpr int kMaxChildren = 64;
// Adwaita's shadow is 23 to 32 pixels wide; a child that leaves more of the window uncovered is not beside
// a shadow but somewhere inside the content, and nothing is cut.
constexpr int kMaxShadowWidth = 64;

bool runsGtk3(AtspiAccessible* window) {
    AtspiAccessible* application = atspi_accessible_get_application(window, nullptr);
    if (!application) return false;
    gchar* toolkit = atspi_accessible_get_toolkit_name(application, nullptr);
    gchar* version = atspi_accessible_get_toolkit_version(application, nullptr);
    // GTK 3 names itself "gtk", GTK 4 "GTK".
    const bool gtk3 = toolkit && version && g_ascii_strcasecmp(toolkit, "gtk") == 0 && std::atoi(version) == 3;
    g_free(toolkit);
    g_free(version);
    g_object_unref(application);
    return gtk3;
}

struct Box {
    int left, top, right, bottom;
};

std::optional<Box> extentsOf(AtspiAccessible* object, AtspiCoordType coordinates) {
    AtspiComponent* component = atspi_accessible_get_component_iface(object);
    if (!component) return std::nullopt;
    AtspiRect* extents = atspi_component_get_extents(component, coordinates, nullptr);
    g_object_unref(component);
    if (!extents) return std::nullopt;
    std::optional<Box> box;
    // A child that is not on screen is reported at the smallest integer.
    if (extents->width > 0 && extents->height > 0 && extents->x > std::numeric_limits<int>::min() / 2 &&
        extents->y > std::numeric_limits<int>::min() / 2)
        box = Box{extents->x, extents->y, extents->x + extents->width, extents->y + extents->height};
    g_free(extents);
    return box;
}

bool showing(AtspiAccessible* object) {
    AtspiStateSet* states = atspi_accessible_get_state_set(object);
    const bool shown = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
    if (states) g_object_unref(states);
    return shown;
}

}  // namespace

std::optional<Rect> shadowFreePartOf(AtspiAccessible* window) {
    if (!window) return std::nullopt;
    MainContextTurn turn;
    if (!runsGtk3(window)) return std::nullopt;
    const auto whole = extentsOf(window, ATSPI_COORD_TYPE_WINDOW);
    if (!whole) return std::nullopt;
    // A native Wayland client knows no place of its own: its window is at the screen's corner. One that is
    // elsewhere is an X11 client through XWayland, whose window may hold the compositor's frame, with a title
    // bar that is no child (zenity's dialog under mutter 43): nothing is cut from it.
    const auto onScreen = extentsOf(window, ATSPI_COORD_TYPE_SCREEN);
    if (!onScreen || onScreen->left != 0 || onScreen->top != 0) return std::nullopt;
    std::optional<Box> covered;
    const int count = std::min(atspi_accessible_get_child_count(window, nullptr), kMaxChildren);
    for (int index = 0; index < count; ++index) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(window, index, nullptr);
        if (!child) continue;
        if (showing(child)) {
            if (const auto box = extentsOf(child, ATSPI_COORD_TYPE_WINDOW)) {
                if (!covered) covered = box;
                covered->left = std::min(covered->left, box->left);
                covered->top = std::min(covered->top, box->top);
                covered->right = std::max(covered->right, box->right);
                covered->bottom = std::max(covered->bottom, box->bottom);
            }
        }
        g_object_unref(child);
    }
    if (!covered) return std::nullopt;
    // In the window's own coordinates, and never beyond the window.
    const int left = std::max(covered->left, whole->left) - whole->left;
    const int top = std::max(covered->top, whole->top) - whole->top;
    const int right = std::min(covered->right, whole->right) - whole->left;
    const int bottom = std::min(covered->bottom, whole->bottom) - whole->top;
    const int width = whole->right - whole->left, height = whole->bottom - whole->top;
    if (right - left <= 0 || bottom - top <= 0) return std::nullopt;
    // A shadow lies on every side. A title bar that is no child (GTK 3 through XWayland, under the
    // compositor's own frame) leaves only the top uncovered, and is part of the window.
    if (left <= 0 || top <= 0 || right >= width || bottom >= height) return std::nullopt;
    if (left > kMaxShadowWidth || top > kMaxShadowWidth || width - right > kMaxShadowWidth ||
        height - bottom > kMaxShadowWidth)
        return std::nullopt;
    return Rect{double(left), double(top), double(right - left), double(bottom - top)};
}

}  // namespace platform::linux_desktop
