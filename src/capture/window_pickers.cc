#include "capture/window_pickers.h"

#include <cmath>
#include <string>
#include <vector>

#include "base/capture_error.h"
#include "platform/services.h"
#include "text/unicode.h"

namespace capture {
namespace {

constexpr double kRegionWindowMinimumPoints = 64;

platform::ShareableContent currentContent() {
    auto& service = platform::services().capture;
    if (service == nullptr) throw CaptureError("screen capture is not available in this build", "external");
    return service->shareableContent();
}

bool isCandidate(const platform::ShareableWindow& window, int32_t pid) {
    return window.owningApplication && window.owningApplication->processID == pid && window.windowLayer == 0;
}

double distance(const platform::Rect& a, const jobs::Rect& b) {
    return std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.width - b.width) + std::abs(a.height - b.height);
}

// The closest candidate to `frame`, or the largest without one; a later candidate wins only when strictly
// better, so the first listed wins a tie.
std::optional<platform::ShareableWindow> choose(const std::vector<platform::ShareableWindow>& candidates,
                                                const std::optional<jobs::Rect>& frame) {
    const platform::ShareableWindow* best = nullptr;
    double bestScore = 0;
    for (const auto& window : candidates) {
        const double score = frame ? distance(window.frame, *frame) : window.frame.width * window.frame.height;
        const bool better = best == nullptr || (frame ? score < bestScore : score > bestScore);
        if (better) {
            best = &window;
            bestScore = score;
        }
    }
    if (best == nullptr) return std::nullopt;
    return *best;
}

}  // namespace

platform::ShareableWindow scWindow(int32_t pid, const std::optional<jobs::Rect>& frame) {
    std::vector<platform::ShareableWindow> candidates;
    for (const auto& window : currentContent().windows) {
        if (isCandidate(window, pid)) candidates.push_back(window);
    }
    if (auto chosen = choose(candidates, frame)) return *chosen;
    throw CaptureError("the app has no on-screen window", "external");
}

std::optional<platform::ShareableWindow> windowOfProcess(int32_t pid, const std::optional<std::string>& title) {
    const std::optional<std::string> wanted = title ? std::optional(text::lowercased(*title)) : std::nullopt;
    std::vector<platform::ShareableWindow> candidates;
    for (const auto& window : currentContent().windows) {
        if (!isCandidate(window, pid)) continue;
        if (wanted && !text::containsCanonically(text::lowercased(window.title.value_or("")), *wanted)) continue;
        candidates.push_back(window);
    }
    return choose(candidates, std::nullopt);
}

std::set<int32_t> processesShowingWindows() {
    std::set<int32_t> showing;
    for (const auto& window : currentContent().windows)
        if (window.owningApplication && window.windowLayer == 0) showing.insert(window.owningApplication->processID);
    return showing;
}

platform::ShareableWindow regionWindow(int32_t pid, const std::optional<jobs::Rect>& frame) {
    std::vector<platform::ShareableWindow> candidates;
    for (const auto& window : currentContent().windows) {
        if (isCandidate(window, pid) && window.frame.width > kRegionWindowMinimumPoints &&
            window.frame.height > kRegionWindowMinimumPoints) {
            candidates.push_back(window);
        }
    }
    if (auto chosen = choose(candidates, frame)) return *chosen;
    throw CaptureError("no on-screen window of process " + std::to_string(pid) + " to record", "not_found");
}

}  // namespace capture
