#include "platform/linux/atspi/atspi_window_kind.h"

#include <cmath>
#include <limits>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_window_frame.h"

namespace platform::linux_desktop {
namespace {

bool hasSize(const std::optional<Extents>& extents) {
    return extents && extents->size.width > 0 && extents->size.height > 0;
}

double distance(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.width - b.width) + std::abs(a.height - b.height);
}

// The X11 window of the top-level's process that is the top-level's: the one with its title, else, when the
// top-level has a frame, the nearest; else the only window of the process. Pop-ups that bypass the window
// manager count too, since a splash screen may be one.
std::optional<ClientWindow> x11WindowOf(Display* display, AtspiAccessible* topLevel,
                                        const std::optional<Extents>& extents) {
    const auto pid = readProcessId(topLevel);
    if (!pid) return std::nullopt;
    const std::string title = readName(topLevel).value_or("");
    std::optional<ClientWindow> best;
    double bestScore = std::numeric_limits<double>::infinity();
    int count = 0;
    for (ClientWindow& window : clientWindowsTopFirst(display)) {
        if (window.pid != *pid) continue;
        ++count;
        double score = !title.empty() && window.title == title ? 0 : 1e7;
        if (hasSize(extents) && extents->position)
            score += std::min(distance(window.frame, Rect::of(*extents->position, extents->size)),
                              distance(window.clientArea, Rect::of(*extents->position, extents->size)));
        else if (score > 0)
            score += 1e7;  // neither title nor frame tells: taken only when it is the process's one window
        if (score < bestScore) {
            bestScore = score;
            best = std::move(window);
        }
    }
    if (bestScore >= 2e7 && count != 1) return std::nullopt;
    return best;
}

}  // namespace

bool reportsNoFrame(AtspiAccessible* topLevel) { return !hasSize(readExtents(topLevel)); }

std::optional<Extents> x11FrameOfTopLevel(AtspiAccessible* topLevel) {
    if (isWayland(desktopSession())) return std::nullopt;
    const auto extents = readExtents(topLevel);
    if (hasSize(extents)) return std::nullopt;
    Display* display = queryDisplay();
    if (!display) return std::nullopt;
    const auto window = x11WindowOf(display, topLevel, extents);
    if (!window) return std::nullopt;
    return Extents{window->frame.origin(), window->frame.size()};
}

// AT-SPI 2.46 and ATK have no role for a splash screen (GIMP 2.10's is a "frame"): the X11 window behind the
// top-level tells (`isSplashWindow` of the X11 module), or, where there is none, that it has no size.
bool AtspiAccessibility::isSplashWindow(const Element& window) {
    const AtspiNode& node = nodeOf(window);
    if (node.kind() != NodeKind::object) return false;
    const auto extents = readExtents(node.object());
    if (isWayland(desktopSession())) return !hasSize(extents);
    // Asked for each window at every poll of a main-window search: the thread's connection is kept.
    Display* display = queryDisplay();
    const auto x11Window = display ? x11WindowOf(display, node.object(), extents) : std::nullopt;
    // A window with no size anywhere: neither its toolkit nor an X11 window gives it one.
    if (!x11Window) return !hasSize(extents);
    return x11Window->splash;
}

}  // namespace platform::linux_desktop
