#pragma once
// This keyboard's keys as the XTEST backend presses them: which keycode gives a keysym in the current
// layout, and spare keycodes remapped for a moment to keysyms the layout lacks.

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace platform::linux_desktop {

/// A key to press: its keycode, and whether Shift must be held to reach the wanted symbol.
struct KeyStroke {
    KeyCode keycode = 0;
    bool shift = false;
};

/// The keyboard mapping of the current layout group, read when constructed.
class KeyboardLayout {
public:
    explicit KeyboardLayout(Display* display);
    ~KeyboardLayout();
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    /// The first key (lowest keycode, plain level before the Shift level) whose symbol satisfies `wanted`.
    /// Keypad keys and levels that need other modifiers (AltGr, NumLock) are not used.
    std::optional<KeyStroke> find(const std::function<bool(KeySym)>& wanted, bool allowShift) const;

    /// The key that gives `keysym` without modifiers.
    std::optional<KeyCode> plainKey(KeySym keysym) const;

    /// Keycodes that carry no symbol at all.
    std::vector<KeyCode> unusedKeycodes() const;

private:
    XkbDescPtr xkb_ = nullptr;
    int group_ = 0;
};

/// A few unused keycodes lent out to keysyms the layout lacks. A lent keycode keeps its symbol until it
/// has been idle for a while (applications read the mapping lazily, when they handle the key event, so
/// the mapping must outlive the key press), then gets its empty mapping back.
class SpareKeys {
public:
    /// Seconds a lent keycode stays mapped after its last use.
    static constexpr std::chrono::milliseconds idleBeforeRestore{1000};

    /// A keycode that gives `keysym` without modifiers, mapping a spare one when needed (and waiting until
    /// the server has the new mapping). Absent when the keyboard has no unused keycode.
    std::optional<KeyCode> lend(Display* display, KeySym keysym, const KeyboardLayout& layout);

    /// Gives back the mappings of keycodes idle for longer than `idleBeforeRestore`.
    void restoreIdle(Display* display);

    /// Gives back every mapping now.
    void restoreAll(Display* display);

private:
    struct Loan {
        KeyCode keycode = 0;
        KeySym keysym = NoSymbol;
        std::chrono::steady_clock::time_point lastUsed;
    };
    static constexpr size_t poolSize = 4;

    void remap(Display* display, Loan& loan, KeySym keysym);
    std::vector<Loan> loans_;
};

}  // namespace platform::linux_desktop
