#include "platform/linux/kwin/kwin_input.h"

#include <linux/input-event-codes.h>
#include <strings.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>

#include "base/capture_error.h"
#include "fake-input-client-protocol.h"
#include "platform/linux/bus/atspi_top_levels.h"
#include "platform/linux/desktop/keysyms.h"
#include "platform/linux/kwin/kwin_connection.h"
#include "platform/linux/kwin/kwin_windows.h"

namespace platform::linux_desktop {
namespace {

constexpr uint32_t kPressed = 1, kReleased = 0;
constexpr uint32_t kVerticalAxis = 0, kHorizontalAxis = 1;
// KWin hands axis values on as they are given; the core counts scrolls in pixels, as the compositor does.
constexpr double kScrollScale = 1.0;

// The fake input device, bound and authenticated; throws CaptureError when KWin does not offer it.
org_kde_kwin_fake_input* device() {
    KWinConnection* connection = KWinConnection::shared();
    org_kde_kwin_fake_input* input = connection ? connection->fakeInput() : nullptr;
    if (!input)
        throw CaptureError("KWin: the compositor offers no fake input (org_kde_kwin_fake_input) to this program; an "
                           "installed desktop file must name it",
                           "external");
    return input;
}

// Waits until KWin has handled what was sent, so that what the caller does next follows it.
void handled() {
    if (KWinConnection* connection = KWinConnection::shared()) connection->sync(1.0);
}

void pointerAt(org_kde_kwin_fake_input* input, Point point) {
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(point.x), wl_fixed_from_double(point.y));
}

void key(org_kde_kwin_fake_input* input, uint32_t code, uint32_t state) {
    org_kde_kwin_fake_input_keyboard_key(input, code, state);
}

std::vector<uint32_t> modifierKeysyms(uint64_t flags) {
    std::vector<uint32_t> keysyms;
    if (flags & (modifier::command | modifier::control)) keysyms.push_back(XKB_KEY_Control_L);
    if (flags & modifier::alternate) keysyms.push_back(XKB_KEY_Alt_L);
    if (flags & modifier::shift) keysyms.push_back(XKB_KEY_Shift_L);
    return keysyms;
}

}  // namespace

bool focusProcess(int32_t pid) {
    const KWinDesktop desktop = kwinDesktop();
    for (const KWinWindow& window : desktop.windows)
        if (window.active) {
            if (window.pid == pid) return true;
            break;
        }
    const auto window = frontWindowOf(pid);
    return window && activateKWinWindow(*window);
}

bool KWinInput::keymapReady() {
    KWinConnection* connection = KWinConnection::shared();
    if (!connection) return false;
    const auto keymap = connection->keymap();
    return keymap && keymap_.update(*keymap);
}

KeyStroke KWinInput::strokeOrFail(uint32_t keysym, const std::string& what) {
    if (keymapReady())
        if (auto stroke = keymap_.strokeFor(keysym)) return *stroke;
    throw CaptureError("KWin: the keyboard layout has no key for " + what, "external");
}

void KWinInput::type(const KeyStroke& stroke) {
    org_kde_kwin_fake_input* input = device();
    for (uint32_t modifierKey : stroke.modifierKeys) key(input, modifierKey, kPressed);
    key(input, stroke.key, kPressed);
    key(input, stroke.key, kReleased);
    for (auto it = stroke.modifierKeys.rbegin(); it != stroke.modifierKeys.rend(); ++it) key(input, *it, kReleased);
}

void KWinInput::typeThroughUnicodeEntry(char32_t point) {
    KeyStroke start = strokeOrFail(XKB_KEY_u, "\"u\"");
    start.modifierKeys.insert(start.modifierKeys.begin(),
                              {strokeOrFail(XKB_KEY_Control_L, "Control").key, strokeOrFail(XKB_KEY_Shift_L, "Shift").key});
    type(start);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", unsigned(point));
    for (const char* digit = hex; *digit; ++digit) type(strokeOrFail(uint32_t(*digit), std::string(1, *digit)));
    type(strokeOrFail(XKB_KEY_space, "space"));
}

bool KWinInput::postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) {
    std::lock_guard lock(mutex_);
    org_kde_kwin_fake_input* input = device();
    if (!down) {
        // Releases exactly what the key-down pressed, the key first.
        const auto pressed = pressed_.find(keyCode);
        if (pressed == pressed_.end()) return true;
        for (auto it = pressed->second.rbegin(); it != pressed->second.rend(); ++it) key(input, *it, kReleased);
        pressed_.erase(pressed);
        handled();
        return true;
    }
    const uint32_t keysym = keysymForVirtualKey(keyCode);
    if (keysym == kNoKeysym) return false;
    if (!focusProcess(pid)) return false;
    char name[64] = "";
    xkb_keysym_get_name(keysym, name, sizeof name);
    const KeyStroke stroke = strokeOrFail(keysym, std::string("the key ") + name);
    std::vector<uint32_t> keys;
    for (uint32_t modifierKeysym : modifierKeysyms(flags)) keys.push_back(strokeOrFail(modifierKeysym, "a modifier").key);
    keys.insert(keys.end(), stroke.modifierKeys.begin(), stroke.modifierKeys.end());
    keys.push_back(stroke.key);
    for (uint32_t code : keys) key(input, code, kPressed);
    pressed_[keyCode] = keys;
    handled();
    return true;
}

bool KWinInput::postCharacter(int32_t pid, const std::string& character) {
    std::lock_guard lock(mutex_);
    const auto points = codePoints(character);
    if (points.empty()) return false;
    device();
    if (!focusProcess(pid)) return false;
    // Every code point is checked before any is typed, so that a character that cannot be typed types nothing.
    std::vector<std::optional<KeyStroke>> strokes;
    bool throughUnicodeEntry = false;
    for (char32_t point : points) {
        strokes.push_back(keymapReady() ? keymap_.strokeFor(keysymForCodePoint(point)) : std::nullopt);
        throughUnicodeEntry = throughUnicodeEntry || !strokes.back();
    }
    if (throughUnicodeEntry) {
        // KWin 5.27 lends no client a key of its own, and offers applications' input methods nothing to type
        // with: GTK's Unicode entry is the one way left.
        // GTK names itself "gtk" (GTK 3) or "GTK" on the accessibility bus.
        const std::string toolkit = applicationToolkit(pid);
        if (strncasecmp(toolkit.c_str(), "gtk", 3) != 0)
            throw CaptureError("KWin: the keyboard layout has no key for \"" + character + "\", and " +
                                   (toolkit.empty() ? std::string("the application") : toolkit + " applications") +
                                   " offer no Unicode entry to type it with",
                               "external");
    }
    for (size_t i = 0; i < points.size(); ++i) {
        if (strokes[i])
            type(*strokes[i]);
        else
            typeThroughUnicodeEntry(points[i]);
    }
    handled();
    return true;
}

bool KWinInput::pointReachesProcess(Point point, int32_t pid) {
    const KWinDesktop desktop = kwinDesktop();
    for (const KWinWindow& window : desktop.windows) {
        if (window.minimized || !window.frame.contains(point)) continue;
        // The top-most window there: the process's own client area (KWin's title bar is KWin's), or another's.
        return window.pid == pid && window.clientArea.contains(point);
    }
    // On no window KWin lists: a pop-up (a menu) of the focused window, which KWin does not list, or nothing.
    for (const KWinWindow& window : desktop.windows)
        if (window.active) return window.pid == pid;
    return false;
}

void KWinInput::postMouseMoved(Point point) {
    pointerAt(device(), point);
    handled();
}

void KWinInput::postLeftDown(Point point) {
    org_kde_kwin_fake_input* input = device();
    pointerAt(input, point);
    org_kde_kwin_fake_input_button(input, BTN_LEFT, kPressed);
    handled();
}

void KWinInput::postLeftUp(Point point) {
    org_kde_kwin_fake_input* input = device();
    pointerAt(input, point);
    org_kde_kwin_fake_input_button(input, BTN_LEFT, kReleased);
    handled();
}

void KWinInput::postScroll(Point point, int32_t dxPixels, int32_t dyPixels) {
    org_kde_kwin_fake_input* input = device();
    pointerAt(input, point);
    // KWin's axes grow rightwards and downwards; positive here scrolls left and up.
    if (dyPixels) org_kde_kwin_fake_input_axis(input, kVerticalAxis, wl_fixed_from_double(-dyPixels * kScrollScale));
    if (dxPixels) org_kde_kwin_fake_input_axis(input, kHorizontalAxis, wl_fixed_from_double(-dxPixels * kScrollScale));
    handled();
}

}  // namespace platform::linux_desktop
