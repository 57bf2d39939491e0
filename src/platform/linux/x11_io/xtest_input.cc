#include "platform/linux/x11_io/xtest_input.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>

#include "base/diagnostics.h"
#include "platform/linux/x11/x11_window_frame.h"
#include "platform/linux/x11_io/xtest_focus.h"
#include "platform/linux/desktop/keysyms.h"

namespace platform::linux_desktop {
namespace {

// After a process could not be given the focus, its key events are skipped for this long without
// trying again, so that typing a long text into a process without a window does not wait per character.
constexpr std::chrono::seconds unreachableRetry{3};

// X coordinates are signed 16-bit numbers.
int screenCoordinate(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

void key(Display* display, KeyCode keycode, bool down) { XTestFakeKeyEvent(display, keycode, down, CurrentTime); }

// The modifier keys that give `flags`: "cmd" is Control, the primary shortcut modifier on Linux, so
// "cmd" and "ctrl" together hold Control once.
std::vector<KeyCode> modifierKeys(const KeyboardLayout& layout, uint64_t flags) {
    std::vector<KeySym> keysyms;
    if (flags & (modifier::command | modifier::control)) keysyms.push_back(XK_Control_L);
    if (flags & modifier::alternate) keysyms.push_back(XK_Alt_L);
    if (flags & modifier::shift) keysyms.push_back(XK_Shift_L);
    std::vector<KeyCode> keys;
    for (KeySym keysym : keysyms) {
        if (const auto keycode = layout.plainKey(keysym)) keys.push_back(*keycode);
    }
    return keys;
}

}  // namespace

XTestInput::~XTestInput() {
    std::lock_guard lock(mutex_);
    if (display_) {
        spareKeys_.restoreAll(display_.get());
        XSync(display_.get(), False);
    }
}

Display* XTestInput::display() {
    if (!displayTried_) {
        displayTried_ = true;
        display_ = openDisplay();
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        if (display_ && !XTestQueryExtension(display_.get(), &eventBase, &errorBase, &major, &minor)) {
            Out::log("XTEST: the display has no XTEST extension; input events are skipped");
            display_.reset();
        }
    }
    if (display_) spareKeys_.restoreIdle(display_.get());
    return display_.get();
}

bool XTestInput::reachProcess(Display* display, int32_t pid) {
    const auto now = std::chrono::steady_clock::now();
    if (unreachablePid_ == pid && now - unreachableSince_ < unreachableRetry) return false;
    if (focusProcess(display, pid, focusTimeoutSeconds)) {
        unreachablePid_.reset();
        return true;
    }
    unreachablePid_ = pid;
    unreachableSince_ = now;
    return false;
}

bool XTestInput::postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) {
    std::lock_guard lock(mutex_);
    Display* display = this->display();
    if (!display) return false;
    if (!down) {
        // Release what the matching key-down pressed, key first, then its modifiers in reverse order.
        const auto it = std::find_if(held_.rbegin(), held_.rend(),
                                     [keyCode](const HeldKey& held) { return held.virtualKey == keyCode; });
        if (it == held_.rend()) return true;
        key(display, it->keycode, false);
        for (auto modifierKey = it->modifiers.rbegin(); modifierKey != it->modifiers.rend(); ++modifierKey) {
            key(display, *modifierKey, false);
        }
        held_.erase(std::next(it).base());
        XSync(display, False);
        return true;
    }
    const KeySym keysym = keysymForVirtualKey(keyCode);
    if (keysym == NoSymbol || !reachProcess(display, pid)) return false;
    const KeyboardLayout layout(display);
    // A symbol the layout has only on a shifted level or not at all (the slash of a German layout) gets
    // a spare key of its own, so that the combination's modifiers are exactly the ones asked for.
    std::optional<KeyCode> keycode = layout.plainKey(keysym);
    if (!keycode) keycode = spareKeys_.lend(display, keysym, layout);
    if (!keycode) return false;
    HeldKey held{keyCode, *keycode, modifierKeys(layout, flags)};
    for (KeyCode modifierKey : held.modifiers) key(display, modifierKey, true);
    key(display, held.keycode, true);
    held_.push_back(held);
    XSync(display, False);
    return true;
}

bool XTestInput::postCharacter(int32_t pid, const std::string& character) {
    std::lock_guard lock(mutex_);
    Display* display = this->display();
    if (!display || !reachProcess(display, pid)) return false;
    // Caps Lock would turn a lower-case letter on a lent key into upper case; the character is typed as
    // given, so the lock is lifted around it (applications read it from the key events themselves).
    const bool capsLocked = capsLockLocked(display);
    if (capsLocked) setCapsLock(display, false);
    const KeyboardLayout layout(display);
    const std::optional<KeyCode> shiftKey = layout.plainKey(XK_Shift_L);
    // A character of several code points (a letter and its combining accent, an emoji sequence) is typed
    // one code point after another; the application joins them into the same text.
    for (const char32_t codePoint : codePoints(character)) {
        // No key types U+0000 (keys that type nothing, such as Control, report it too); it is skipped.
        if (codePoint == 0) continue;
        const auto stroke = layout.find(
            [codePoint](KeySym keysym) { return codePointOfKeysym(keysym) == codePoint; }, shiftKey.has_value());
        if (stroke) {
            if (stroke->shift) key(display, *shiftKey, true);
            key(display, stroke->keycode, true);
            key(display, stroke->keycode, false);
            if (stroke->shift) key(display, *shiftKey, false);
        } else if (const auto spare = spareKeys_.lend(display, keysymForCodePoint(codePoint), layout)) {
            key(display, *spare, true);
            key(display, *spare, false);
        }
    }
    if (capsLocked) setCapsLock(display, true);
    XSync(display, False);
    return true;
}

bool XTestInput::pointReachesProcess(Point point, int32_t pid) {
    std::lock_guard lock(mutex_);
    Display* display = this->display();
    if (!display) return false;
    // The top-most viewable window holding the point receives the click, whoever owns it.
    const auto window = clientWindowAt(display, point);
    return window && window->pid == pid;
}

void XTestInput::moveTo(Display* display, Point point) {
    XTestFakeMotionEvent(display, -1, screenCoordinate(point.x), screenCoordinate(point.y), CurrentTime);
}

void XTestInput::postMouseMoved(Point point) {
    std::lock_guard lock(mutex_);
    Display* display = this->display();
    if (!display) return;
    moveTo(display, point);
    XSync(display, False);
}

void XTestInput::postLeftDown(Point point) {
    std::lock_guard lock(mutex_);
    Display* display = this->display();
    if (!display) return;
    moveTo(display, point);
    XTestFakeButtonEvent(display, Button1, True, CurrentTime);
    XSync(display, False);
}

void XTestInput::postLeftUp(Point point) {
    std::lock_guard lock(mutex_);
    Display* display = this->display();
    if (!display) return;
    moveTo(display, point);
    XTestFakeButtonEvent(display, Button1, False, CurrentTime);
    XSync(display, False);
}

void XTestInput::wheel(Display* display, unsigned button, int notches) {
    for (int i = 0; i < notches; ++i) {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XTestFakeButtonEvent(display, button, False, CurrentTime);
    }
}

void XTestInput::postScroll(Point point, int32_t dxPixels, int32_t dyPixels) {
    std::lock_guard lock(mutex_);
    Display* display = this->display();
    if (!display) return;
    moveTo(display, point);
    // Whole notches nearest to the pixels owed so far; what is left (at most half a notch) is carried to
    // the next event, so that many small amounts add up to the same distance as one large one.
    // One event sends at most maxNotchesPerEvent; a larger amount is cut there rather than carried on.
    const auto takeNotches = [](int& carried, int32_t pixels) {
        const int64_t limit = int64_t(maxNotchesPerEvent) * pixelsPerNotch;
        carried = static_cast<int>(std::clamp<int64_t>(int64_t(carried) + pixels, -limit, limit));
        const int half = pixelsPerNotch / 2;
        const int notches = (carried >= 0 ? carried + half : carried - half) / pixelsPerNotch;
        carried -= notches * pixelsPerNotch;
        return notches;
    };
    // Positive amounts scroll up and left: buttons 4 and 6; negative ones down and right: 5 and 7.
    const int vertical = takeNotches(carriedVerticalPixels_, dyPixels);
    const int horizontal = takeNotches(carriedHorizontalPixels_, dxPixels);
    wheel(display, vertical > 0 ? 4 : 5, std::abs(vertical));
    wheel(display, horizontal > 0 ? 6 : 7, std::abs(horizontal));
    XSync(display, False);
}

}  // namespace platform::linux_desktop
