// Writes to windows: AXPosition and AXSize move and resize the X11 top-level behind an accessible window, and
// AXRaise raises and activates it. AT-SPI can neither find nor move a top-level window by itself. On Wayland
// only the compositor can, through the desktop module, when it offers to (KWin).

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_geometry.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_window_frame.h"

namespace platform::linux_desktop {
namespace {

// The X11 window behind a window element: same process, the same title, the nearest frame.
std::optional<ClientWindow> clientWindowOf(Display* display, const Element& element) {
    const AtspiNode& node = nodeOf(element);
    if (!isWindowNode(node)) return std::nullopt;
    const auto pid = readProcessId(node.object());
    if (!pid) return std::nullopt;
    const std::string title = readName(node.object()).value_or("");
    std::optional<Rect> frame;
    if (const auto extents = readExtents(node.object()); extents && extents->position)
        frame = Rect::of(*extents->position, extents->size);
    return findClientWindow(display, *pid, title, frame);
}

// The window as the desktop module finds it: its process, accessible title and size.
struct WindowKey {
    int pid = 0;
    std::string title;
    Size size;
};

std::optional<WindowKey> windowKeyOf(const Element& element) {
    const AtspiNode& node = nodeOf(element);
    if (!isWindowNode(node)) return std::nullopt;
    const auto pid = readProcessId(node.object());
    const auto extents = readExtents(node.object());
    if (!pid || !extents) return std::nullopt;
    return WindowKey{*pid, readName(node.object()).value_or(""), extents->size};
}

bool moveResize(const Element& element, const std::optional<Point>& origin, const std::optional<Size>& size) {
    const DesktopWindowRequests* desktop = isWayland(desktopSession()) ? desktopWindowRequests() : nullptr;
    if (desktop && desktop->setVisibleFrame) {
        const auto key = windowKeyOf(element);
        if (!key) return false;
        forgetWindowPlacements();
        const bool placed = desktop->setVisibleFrame(key->pid, key->title, key->size, origin, size);
        forgetWindowPlacements();
        return placed;
    }
    Display* display = queryDisplay();
    if (!display) return false;
    const auto window = clientWindowOf(display, element);
    if (!window) return false;
    forgetWindowPlacements();
    return moveResizeFrame(display, *window, origin, size);
}

}  // namespace

bool AtspiAccessibility::setPosition(const Element& element, Point position) {
    return moveResize(element, position, std::nullopt);
}

bool AtspiAccessibility::setSize(const Element& element, Size size) {
    if (size.width <= 0 || size.height <= 0) return false;
    return moveResize(element, std::nullopt, size);
}

std::optional<std::string> titleBarText(const Element& window) {
    Display* display = queryDisplay();
    if (!display) return std::nullopt;
    const auto client = clientWindowOf(display, window);
    if (!client) return std::nullopt;
    return client->title;
}

bool raiseWindow(const Element& window) {
    const DesktopWindowRequests* desktop = isWayland(desktopSession()) ? desktopWindowRequests() : nullptr;
    if (desktop && desktop->raise) {
        const auto key = windowKeyOf(window);
        return key && desktop->raise(key->pid, key->title, key->size);
    }
    Display* display = queryDisplay();
    if (!display) return false;
    const auto client = clientWindowOf(display, window);
    if (!client) return false;
    return raiseAndActivate(display, *client);
}

}  // namespace platform::linux_desktop
