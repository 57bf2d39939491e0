#include "platform/linux/wayland/mutter_input.h"

#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/capture_error.h"
#include "platform/linux/wayland/application_top_levels.h"
#include "platform/linux/wayland/mutter_remote_session.h"
#include "platform/linux/wayland/shell_extension.h"
#include "platform/linux/desktop/keysyms.h"

namespace platform::linux_desktop {
namespace {

// A focus answer serves the keys of the next moment.
constexpr double kFocusFreshSeconds = 0.5;
// One notch of a wheel in pixels, as the core counts scrolls; the compositor takes pixels as well.
constexpr double kScrollScale = 1.0;

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<uint32_t> modifierKeysyms(uint64_t flags) {
    std::vector<uint32_t> keysyms;
    if (flags & (modifier::command | modifier::control)) keysyms.push_back(XK_Control_L);
    if (flags & modifier::alternate) keysyms.push_back(XK_Alt_L);
    if (flags & modifier::shift) keysyms.push_back(XK_Shift_L);
    return keysyms;
}

// Characters every layout the compositor starts with (US) has on a key: printable ASCII, line feed, tab.
bool typesDirectly(char32_t point) { return (point >= 0x20 && point < 0x7f) || point == '\n' || point == '\r' || point == '\t'; }

std::optional<TopLevel> focusedWindow() {
    for (const TopLevel& window : applicationTopLevels())
        if (window.active) return window;
    return std::nullopt;
}

// The process whose window has the keyboard focus: the shell extension's answer when it runs, the
// accessibility bus's otherwise; nothing when no window says so.
std::optional<int32_t> focusedProcess() {
    if (shellExtensionPresent()) {
        try {
            for (const ShellWindow& window : shellWindows())
                if (window.focused) return window.pid;
            return std::nullopt;
        } catch (const CaptureError&) {
        }
    }
    const auto window = focusedWindow();
    return window ? std::optional(int32_t(window->pid)) : std::nullopt;
}

}  // namespace

bool processHasFocus(int32_t pid) {
    static std::mutex mutex;
    static double askedAt = -1;
    static std::optional<int32_t> focusedPid;
    std::lock_guard lock(mutex);
    const double now = nowSeconds();
    if (askedAt < 0 || now - askedAt > kFocusFreshSeconds) {
        focusedPid = focusedProcess();
        askedAt = now;
    }
    // Until the compositor has an input device it tells no client that it is focused: then the keys go to
    // whichever window it focused, which only another process's window saying so rules out.
    return !focusedPid || *focusedPid == pid;
}

bool MutterInput::postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) {
    const uint32_t keysym = keysymForVirtualKey(keyCode);
    if (keysym == kNoKeysym) return !down;
    if (down && !processHasFocus(pid)) return false;
    auto& session = MutterRemoteSession::shared();
    const auto modifiers = modifierKeysyms(flags);
    if (down) {
        for (uint32_t modifierKeysym : modifiers) session.keysym(modifierKeysym, true);
        return session.keysym(keysym, true);
    }
    const bool released = session.keysym(keysym, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) session.keysym(*it, false);
    return released;
}

bool MutterInput::postCharacter(int32_t pid, const std::string& character) {
    const auto points = codePoints(character);
    if (points.empty() || !processHasFocus(pid)) return false;
    auto& session = MutterRemoteSession::shared();
    for (char32_t point : points) {
        if (typesDirectly(point)) {
            const uint32_t keysym = keysymForCodePoint(point);
            if (!session.keysym(keysym, true)) return false;
            session.keysym(keysym, false);
            continue;
        }
        // The compositor presses only keysyms its layout has, and lends no spare key to others: a character
        // outside the US layout is entered through the toolkit's Unicode entry, Ctrl+Shift+U, its hex code
        // and a space.
        session.keysym(XK_Control_L, true);
        session.keysym(XK_Shift_L, true);
        session.keysym(XK_u, true);
        session.keysym(XK_u, false);
        session.keysym(XK_Shift_L, false);
        session.keysym(XK_Control_L, false);
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", unsigned(point));
        for (const char* digit = hex; *digit; ++digit) {
            session.keysym(uint32_t(*digit), true);
            session.keysym(uint32_t(*digit), false);
        }
        session.keysym(XK_space, true);
        if (!session.keysym(XK_space, false)) return false;
    }
    return true;
}

bool MutterInput::pointReachesProcess(Point point, int32_t pid) {
    if (shellExtensionPresent()) {
        // Pointer positions are screen coordinates: a point reaches the process of the top window there.
        try {
            for (const ShellWindow& window : shellWindows())
                if (!window.minimized && window.frame.contains(point)) return window.pid == pid;
            return false;
        } catch (const CaptureError&) {
            return false;
        }
    }
    // Pointer positions are the focused window's own: a point inside it reaches its process.
    const auto window = focusedWindow();
    if (!window) {
        for (const TopLevel& candidate : applicationTopLevels())
            if (candidate.pid == pid && point.x >= 0 && point.y >= 0 && point.x < candidate.width &&
                point.y < candidate.height)
                return true;
        return false;
    }
    return window->pid == pid && point.x >= 0 && point.y >= 0 && point.x < window->width &&
           point.y < window->height;
}

void MutterInput::postMouseMoved(Point point) { MutterRemoteSession::shared().pointerAt(point.x, point.y); }

void MutterInput::postLeftDown(Point point) {
    auto& session = MutterRemoteSession::shared();
    session.pointerAt(point.x, point.y);
    session.button(BTN_LEFT, true);
}

void MutterInput::postLeftUp(Point point) {
    auto& session = MutterRemoteSession::shared();
    session.pointerAt(point.x, point.y);
    session.button(BTN_LEFT, false);
}

void MutterInput::postScroll(Point point, int32_t dxPixels, int32_t dyPixels) {
    auto& session = MutterRemoteSession::shared();
    session.pointerAt(point.x, point.y);
    // The compositor's axes grow rightwards and downwards; positive here scrolls left and up.
    session.scroll(-dxPixels * kScrollScale, -dyPixels * kScrollScale);
}

}  // namespace platform::linux_desktop
