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

    /// The first key (lowest keycode, plain level before the Shift level) whose symbol satisfies `wanted`
    /// with the locked modifiers (Caps Lock) as they are now. Keypad keys and levels that need other
    /// modifiers (AltGr) are not used.
    std::optional<KeyStroke> find(const std::function<bool(KeySym)>& wanted, bool allowShift) const;

    /// The key that gives `keysym` with no modifier at all (the key a shortcut names).
    std::optional<KeyCode> plainKey(KeySym keysym) const;

    /// Keycodes that carry no symbol at all.
    std::vector<KeyCode> unusedKeycodes() const;

private:
    std::optional<KeyStroke> search(const std::function<bool(KeySym)>& wanted, bool allowShift,
                                    unsigned baseModifiers) const;

    XkbDescPtr xkb_ = nullptr;
    int group_ = 0;
    unsigned lockedModifiers_ = 0;
};

/// True when Caps Lock is locked on.
bool capsLockLocked(Display* display);

/// Locks or unlocks Caps Lock.
void setCapsLock(Display* display, bool locked);

/// A few unused keycodes lent out to keysyms the layout lacks. A lent keycode keeps its symbol until it
/// has been idle for a while (applications read the mapping lazily, when they handle the key event, so
/// the mapping must outlive the key press), then gets its empty mapping back.
class SpareKeys {
public:
    /// How long a lent keycode stays mapped after its last use.
    static constexpr std::chrono::milliseconds idleBeforeRestore{1000};

    /// A keycode that gives `keysym` without modifiers, mapping a spare one when needed (and waiting until
    /// the server has the new mapping). Absent when the keyboard has no unused keycode.
    std::optional<KeyCode> lend(Display* display, KeySym keysym, const KeyboardLayout& layout);

    /// Gives back the mappings of keycodes idle for longer than `idleBeforeRestore`.
    void restoreIdle(Display* display);

    /// Gives back every mapping now (a keycode pressed moments ago after `minimumReuseAge`).
    void restoreAll(Display* display);

private:
    struct Loan {
        KeyCode keycode = 0;
        KeySym keysym = NoSymbol;
        std::chrono::steady_clock::time_point lastUsed;
    };
    static constexpr size_t poolSize = 8;
    /// A lent keycode is not given another symbol sooner than this after its last use, so that the
    /// application has read the previous key press before the mapping under it changes.
    static constexpr std::chrono::milliseconds minimumReuseAge{250};

    void remap(Display* display, Loan& loan, KeySym keysym);
    void forgetRemapped(Display* display);
    std::vector<Loan> loans_;
};

}  // namespace platform::linux_desktop
