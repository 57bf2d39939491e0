#include "platform/linux/kwin/kwin_windows.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "base/capture_error.h"
#include "platform/linux/kwin/kwin_scripting.h"

namespace platform::linux_desktop {
namespace {

// A window list answers the reads of the next moment.
constexpr double kDesktopFreshSeconds = 0.25;
// A resize is applied when the client acknowledges it; the list is read again this often until then.
constexpr auto kPlacementPoll = std::chrono::milliseconds(50);
constexpr double kPlacementWaitSeconds = 1.0;

// Every window with what the tool needs of it, and the active screen. 5.27 offers no client geometry to
// scripts (Plasma 6 does): it is worked out from the frame and the surface below.
constexpr const char* kListWindows = R"JS(
    var list = windows(), active = activeWindow(), found = [];
    for (var i = 0; i < list.length; ++i) {
        var w = list[i];
        if (w.deleted) continue;
        found.push({id: String(w.internalId), pid: w.pid, caption: String(w.caption),
                    resourceClass: String(w.resourceClass), resourceName: String(w.resourceName),
                    desktopFileName: String(w.desktopFileName || ""),
                    frame: rect(w.frameGeometry), buffer: rect(w.bufferGeometry),
                    client: w.clientGeometry !== undefined ? rect(w.clientGeometry) : null,
                    active: w === active || w.active === true, minimized: w.minimized === true,
                    ordinary: w.normalWindow === true || w.dialog === true, stacking: w.stackingOrder});
    }
    var screen = null;
    try {
        screen = {frame: rect(workspace.clientArea(KWin.ScreenArea, workspace.activeScreen, workspace.currentDesktop)),
                  workArea: rect(workspace.clientArea(KWin.PlacementArea, workspace.activeScreen,
                                                      workspace.currentDesktop))};
    } catch (error) {
    }
    return {windows: found, screen: screen};
)JS";

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

Rect rectOf(const nlohmann::json& value) {
    if (!value.is_object()) return {};
    return {value.value("x", 0.0), value.value("y", 0.0), value.value("width", 0.0), value.value("height", 0.0)};
}

std::optional<Rect> intersection(const Rect& a, const Rect& b) {
    const double left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const double right = std::min(a.x + a.width, b.x + b.width), bottom = std::min(a.y + a.height, b.y + b.height);
    if (right <= left || bottom <= top) return std::nullopt;
    return Rect{left, top, right - left, bottom - top};
}

KWinWindow windowOf(const nlohmann::json& value) {
    KWinWindow window;
    window.internalId = value.value("id", "");
    window.windowID = kwinWindowID(window.internalId);
    window.pid = value.value("pid", 0);
    window.caption = value.value("caption", "");
    window.resourceClass = value.value("resourceClass", "");
    window.resourceName = value.value("resourceName", "");
    window.desktopFileName = value.value("desktopFileName", "");
    window.frame = rectOf(value.value("frame", nlohmann::json()));
    window.surface = rectOf(value.value("buffer", nlohmann::json()));
    // The client area: the frame less KWin's title bar and borders (which lie outside the surface), and less
    // the shadow a client draws around its own decoration (which lies outside the frame).
    if (const auto& client = value.value("client", nlohmann::json()); client.is_object())
        window.clientArea = rectOf(client);
    else
        window.clientArea = intersection(window.frame, window.surface).value_or(window.frame);
    window.active = value.value("active", false);
    window.minimized = value.value("minimized", false);
    window.ordinary = value.value("ordinary", false);
    window.stackingOrder = value.value("stacking", 0);
    return window;
}

KWinDesktop desktopOf(const nlohmann::json& answer) {
    KWinDesktop desktop;
    if (!answer.is_object()) return desktop;
    for (const auto& value : answer.value("windows", nlohmann::json::array()))
        if (value.is_object()) desktop.windows.push_back(windowOf(value));
    std::stable_sort(desktop.windows.begin(), desktop.windows.end(),
                     [](const KWinWindow& a, const KWinWindow& b) { return a.stackingOrder > b.stackingOrder; });
    if (const auto& screen = answer.value("screen", nlohmann::json()); screen.is_object()) {
        const Rect frame = rectOf(screen.value("frame", nlohmann::json()));
        const Rect workArea = rectOf(screen.value("workArea", nlohmann::json()));
        if (frame.width > 0 && frame.height > 0)
            desktop.screen = KWinScreen{frame, workArea.width > 0 && workArea.height > 0 ? workArea : frame};
    }
    return desktop;
}

std::mutex keptMutex;
std::optional<std::pair<double, KWinDesktop>> kept;

void forgetDesktop() {
    std::lock_guard lock(keptMutex);
    kept.reset();
}

KWinDesktop freshDesktop() {
    forgetDesktop();
    return kwinDesktop();
}

bool sameArea(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1 && std::abs(a.width - b.width) <= 1 &&
           std::abs(a.height - b.height) <= 1;
}

}  // namespace

uint64_t kwinWindowID(const std::string& internalId) {
    // FNV-1a, kept below 2^53 so that a JSON reader keeps it exact, and never 0.
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : internalId) hash = (hash ^ c) * 1099511628211ull;
    return (hash & ((uint64_t(1) << 53) - 1)) | 1;
}

KWinDesktop kwinDesktop() {
    {
        std::lock_guard lock(keptMutex);
        if (kept && now() - kept->first <= kDesktopFreshSeconds) return kept->second;
    }
    KWinDesktop desktop = desktopOf(runKWinScript(kListWindows));
    std::lock_guard lock(keptMutex);
    kept = std::make_pair(now(), desktop);
    return desktop;
}

std::optional<KWinWindow> kwinWindowWithID(uint64_t windowID) {
    for (const KWinWindow& window : kwinDesktop().windows)
        if (window.windowID == windowID) return window;
    return std::nullopt;
}

std::optional<KWinWindow> frontWindowOf(int32_t pid) {
    for (const KWinWindow& window : kwinDesktop().windows)
        if (window.pid == pid && window.ordinary) return window;
    return std::nullopt;
}

bool activateKWinWindow(const KWinWindow& window) {
    const nlohmann::json done = runKWinScript(
        "var w = windowWithId(" + nlohmann::json(window.internalId).dump() + ");\n"
        "if (!w) return false;\n"
        "if (w.minimized) w.minimized = false;\n"
        "setActiveWindow(w);\n"
        "return activeWindow() === w || w.active === true;");
    forgetDesktop();
    return done.is_boolean() && done.get<bool>();
}

bool placeKWinWindow(const KWinWindow& window, std::optional<Point> origin, std::optional<Size> size) {
    const Rect& client = window.clientArea;
    const Rect& frame = window.frame;
    // KWin's decoration around the client area, the same after the move.
    const double left = client.x - frame.x, top = client.y - frame.y;
    const double right = frame.x + frame.width - client.x - client.width;
    const double bottom = frame.y + frame.height - client.y - client.height;
    const Point wantedOrigin = origin.value_or(client.origin());
    const Size wantedSize = size.value_or(client.size());
    const Rect wanted = Rect::of(wantedOrigin, wantedSize);
    const Rect newFrame{wantedOrigin.x - left, wantedOrigin.y - top, wantedSize.width + left + right,
                        wantedSize.height + top + bottom};
    const nlohmann::json done = runKWinScript(
        "var w = windowWithId(" + nlohmann::json(window.internalId).dump() + ");\n"
        "if (!w) return false;\n"
        "if (w.fullScreen) w.fullScreen = false;\n"
        "if (w.setMaximize) w.setMaximize(false, false);\n"
        "w.frameGeometry = {x: " + nlohmann::json(newFrame.x).dump() + ", y: " + nlohmann::json(newFrame.y).dump() +
        ", width: " + nlohmann::json(newFrame.width).dump() + ", height: " + nlohmann::json(newFrame.height).dump() +
        "};\nreturn true;");
    if (!done.is_boolean() || !done.get<bool>()) return false;
    // The frame changes when the client acknowledges the new size.
    const double deadline = now() + kPlacementWaitSeconds;
    while (now() < deadline) {
        const KWinDesktop desktop = freshDesktop();
        const auto placed = std::find_if(desktop.windows.begin(), desktop.windows.end(),
                                         [&](const KWinWindow& candidate) { return candidate.internalId == window.internalId; });
        if (placed == desktop.windows.end()) return false;
        if (sameArea(placed->clientArea, wanted)) break;
        std::this_thread::sleep_for(kPlacementPoll);
    }
    forgetDesktop();
    return true;
}

}  // namespace platform::linux_desktop
