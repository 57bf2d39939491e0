#include "platform/linux/wayland/shell_top_levels.h"

#include <algorithm>
#include <cmath>

#include "base/capture_error.h"

namespace platform::linux_desktop {
namespace {

// How far a toolkit's extents may be from its window's size and still be that window (GTK 3's extents are
// sometimes a pixel short of its surface).
constexpr double kSizeSlack = 2;

double sizeDistance(Size a, Size b) { return std::max(std::abs(a.width - b.width), std::abs(a.height - b.height)); }

struct Candidate {
    const ShellWindow* window = nullptr;
    Point contentOrigin;
    bool titled = false;     // its title is the accessible one
    double distance = 0;     // how far its matching rectangle's size is from the accessible size
};

// The corner `window`'s accessible coordinates start at, and how well its size tells it.
Candidate candidateOf(const ShellWindow& window, const std::string& title, Size accessibleSize) {
    Candidate candidate{&window, {0, 0}, window.title == title, 0};
    if (window.x11Client) return candidate;  // X11 screen coordinates are the compositor's
    const double toBuffer = sizeDistance(window.bufferFrame.size(), accessibleSize);
    const double toFrame = sizeDistance(window.frame.size(), accessibleSize);
    const Rect& corner = toBuffer <= toFrame ? window.bufferFrame : window.frame;
    candidate.contentOrigin = corner.origin();
    candidate.distance = std::min(toBuffer, toFrame);
    return candidate;
}

std::optional<ShellTopLevel> find(int32_t pid, const std::string& title, Size accessibleSize) {
    if (!shellExtensionPresent()) return std::nullopt;
    try {
        return shellTopLevelOf(shellWindows(), pid, title, accessibleSize);
    } catch (const CaptureError&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<ShellTopLevel> shellTopLevelOf(const std::vector<ShellWindow>& windows, int32_t pid,
                                             const std::string& title, Size accessibleSize) {
    std::optional<Candidate> best;
    for (const ShellWindow& window : windows) {
        if (window.pid != pid || window.minimized) continue;
        const Candidate candidate = candidateOf(window, title, accessibleSize);
        if (!candidate.titled && candidate.distance > kSizeSlack) continue;
        const bool better = !best || (candidate.titled && !best->titled) ||
                            (candidate.titled == best->titled && candidate.distance < best->distance);
        if (better) best = candidate;
    }
    if (!best) return std::nullopt;
    return ShellTopLevel{*best->window, best->contentOrigin};
}

std::optional<TopLevelPlacement> shellPlacementOf(int32_t pid, const std::string& title, Size accessibleSize) {
    const auto found = find(pid, title, accessibleSize);
    if (!found) return std::nullopt;
    return TopLevelPlacement{found->contentOrigin, found->window.frame};
}

bool setShellVisibleFrame(int32_t pid, const std::string& title, Size accessibleSize, std::optional<Point> origin,
                          std::optional<Size> size) {
    const auto found = find(pid, title, accessibleSize);
    if (!found) return false;
    const Rect& now = found->window.frame;
    return placeShellWindow(found->window.id, Rect::of(origin.value_or(now.origin()), size.value_or(now.size())));
}

std::optional<TopLevelAtPoint> shellTopLevelAt(Point point) {
    if (!shellExtensionPresent()) return std::nullopt;
    try {
        // Top of the stack first: the first window that holds the point is the one a person sees there.
        for (const ShellWindow& window : shellWindows())
            if (!window.minimized && window.frame.contains(point))
                return TopLevelAtPoint{window.pid, window.title, window.frame};
    } catch (const CaptureError&) {
    }
    return std::nullopt;
}

bool raiseShellWindow(int32_t pid, const std::string& title, Size accessibleSize) {
    const auto found = find(pid, title, accessibleSize);
    return found && focusShellWindow(found->window.id);
}

}  // namespace platform::linux_desktop
