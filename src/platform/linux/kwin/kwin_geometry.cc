#include "platform/linux/kwin/kwin_geometry.h"

#include <cmath>
#include <exception>

#include "platform/linux/kwin/kwin_windows.h"

namespace platform::linux_desktop {
namespace {

bool sameSize(const Rect& rect, Size size) {
    return std::abs(rect.width - size.width) <= 1 && std::abs(rect.height - size.height) <= 1;
}

// KWin tells windows of the same caption apart with a suffix (" <2>").
bool captionIs(const std::string& caption, const std::string& title) {
    return !title.empty() && (caption == title || caption.rfind(title + " <", 0) == 0);
}

// The window of `pid` the accessibility bus calls `title` with extents of `size`, and the corner its toolkit
// measures from. A window of that size is the one; among several, the one with that title, an ordinary one,
// the front one. Without a window of that size, the one window with that title is measured from its client
// area.
struct Found {
    KWinWindow window;
    Point contentOrigin;
};

std::optional<Found> findWindow(int32_t pid, const std::string& title, Size size) {
    std::optional<Found> best;
    int bestScore = -1;
    const KWinDesktop desktop = kwinDesktop();
    for (const KWinWindow& window : desktop.windows) {
        if (window.pid != pid || window.minimized) continue;
        std::optional<Point> origin;
        if (sameSize(window.surface, size))
            origin = window.surface.origin();
        else if (sameSize(window.clientArea, size))
            origin = window.clientArea.origin();
        const int score = (origin ? 4 : 0) + (captionIs(window.caption, title) ? 2 : 0) + (window.ordinary ? 1 : 0);
        if (!origin && !captionIs(window.caption, title)) continue;
        if (score > bestScore) {
            best = Found{window, origin.value_or(window.clientArea.origin())};
            bestScore = score;
        }
    }
    return best;
}

}  // namespace

std::optional<TopLevelPlacement> kwinPlacementOf(int32_t pid, const std::string& title, Size accessibleSize) {
    try {
        const auto found = findWindow(pid, title, accessibleSize);
        if (!found) return std::nullopt;
        return TopLevelPlacement{found->contentOrigin, found->window.clientArea};
    } catch (const std::exception&) {
        return std::nullopt;  // KWin cannot be asked: the accessibility module measures as it would without
    }
}

bool kwinSetVisibleFrame(int32_t pid, const std::string& title, Size accessibleSize, std::optional<Point> origin,
                         std::optional<Size> size) {
    try {
        const auto found = findWindow(pid, title, accessibleSize);
        return found && placeKWinWindow(found->window, origin, size);
    } catch (const std::exception&) {
        return false;
    }
}

bool kwinRaise(int32_t pid, const std::string& title, Size accessibleSize) {
    try {
        const auto found = findWindow(pid, title, accessibleSize);
        return found && activateKWinWindow(found->window);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace platform::linux_desktop
