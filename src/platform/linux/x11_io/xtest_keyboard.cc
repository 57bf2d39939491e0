#include "platform/linux/x11_io/xtest_keyboard.h"

#include <X11/keysym.h>

#include <algorithm>
#include <thread>

namespace platform::linux_desktop {
namespace {

// The level a key of this type gives while `modifiers` are in effect.
int levelFor(const XkbKeyTypeRec& type, unsigned modifiers) {
    const unsigned relevant = modifiers & type.mods.mask;
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        if (entry.active && entry.mods.mask == relevant) return entry.level;
    }
    return 0;  // no entry for these modifiers: the first level
}

bool isKeypad(KeySym keysym) { return keysym >= XK_KP_Space && keysym <= XK_KP_Equal; }

// The first symbol the server maps to `keycode` now.
KeySym currentSymbol(Display* display, KeyCode keycode) {
    int perKeycode = 0;
    KeySym* mapped = XGetKeyboardMapping(display, keycode, 1, &perKeycode);
    const KeySym first = mapped && perKeycode > 0 ? mapped[0] : NoSymbol;
    if (mapped) XFree(mapped);
    return first;
}

}  // namespace

bool capsLockLocked(Display* display) {
    XkbStateRec state{};
    return XkbGetState(display, XkbUseCoreKbd, &state) == Success && (state.locked_mods & LockMask);
}

void setCapsLock(Display* display, bool locked) {
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, locked ? LockMask : 0);
    XSync(display, False);
}

KeyboardLayout::KeyboardLayout(Display* display) {
    xkb_ = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
        group_ = state.group;
        lockedModifiers_ = state.locked_mods;
    }
}

KeyboardLayout::~KeyboardLayout() {
    if (xkb_) XkbFreeKeyboard(xkb_, 0, True);
}

std::optional<KeyStroke> KeyboardLayout::find(const std::function<bool(KeySym)>& wanted, bool allowShift) const {
    return search(wanted, allowShift, lockedModifiers_);
}

std::optional<KeyStroke> KeyboardLayout::search(const std::function<bool(KeySym)>& wanted, bool allowShift,
                                                unsigned baseModifiers) const {
    if (!xkb_ || !xkb_->map) return std::nullopt;
    std::optional<KeyStroke> shifted;
    for (int keycode = xkb_->min_key_code; keycode <= xkb_->max_key_code; ++keycode) {
        const int groups = XkbKeyNumGroups(xkb_, keycode);
        if (groups == 0) continue;
        // A group beyond the key's own wraps around, as the server does by default.
        const int group = group_ < groups ? group_ : group_ % groups;
        const XkbKeyTypeRec& type = *XkbKeyKeyType(xkb_, keycode, group);
        const int width = XkbKeyGroupWidth(xkb_, keycode, group);
        for (int level = 0; level < width && level < 2; ++level) {
            const KeySym keysym = XkbKeySymEntry(xkb_, keycode, level, group);
            if (keysym == NoSymbol || isKeypad(keysym) || !wanted(keysym)) continue;
            if (levelFor(type, baseModifiers) == level) return KeyStroke{static_cast<KeyCode>(keycode), false};
            if (allowShift && !shifted && levelFor(type, baseModifiers | ShiftMask) == level) {
                shifted = KeyStroke{static_cast<KeyCode>(keycode), true};
            }
        }
    }
    return shifted;
}

std::optional<KeyCode> KeyboardLayout::plainKey(KeySym keysym) const {
    const auto stroke = search([keysym](KeySym candidate) { return candidate == keysym; }, false, 0);
    if (!stroke) return std::nullopt;
    return stroke->keycode;
}

std::vector<KeyCode> KeyboardLayout::unusedKeycodes() const {
    std::vector<KeyCode> unused;
    if (!xkb_ || !xkb_->map) return unused;
    for (int keycode = xkb_->min_key_code; keycode <= xkb_->max_key_code; ++keycode) {
        bool empty = true;
        for (int i = 0; i < XkbKeyNumSyms(xkb_, keycode) && empty; ++i) {
            empty = XkbKeySymsPtr(xkb_, keycode)[i] == NoSymbol;
        }
        if (empty) unused.push_back(static_cast<KeyCode>(keycode));
    }
    return unused;
}

void SpareKeys::forgetRemapped(Display* display) {
    std::erase_if(loans_, [display](Loan& loan) {
        const KeySym current = currentSymbol(display, loan.keycode);
        if (current == loan.keysym) return false;
        // Someone else changed the mapping (a new layout was loaded): an emptied keycode is free again,
        // one that now carries other symbols is no longer ours to touch.
        loan.keysym = NoSymbol;
        return current != NoSymbol;
    });
}

std::optional<KeyCode> SpareKeys::lend(Display* display, KeySym keysym, const KeyboardLayout& layout) {
    forgetRemapped(display);
    const auto now = std::chrono::steady_clock::now();
    for (Loan& loan : loans_) {
        if (loan.keysym == keysym) {
            loan.lastUsed = now;
            return loan.keycode;
        }
    }
    if (loans_.size() < poolSize) {
        // Take the highest unused keycodes: the least likely to be on a real keyboard.
        std::vector<KeyCode> unused = layout.unusedKeycodes();
        std::reverse(unused.begin(), unused.end());
        for (KeyCode keycode : unused) {
            if (loans_.size() >= poolSize) break;
            const bool taken = std::any_of(loans_.begin(), loans_.end(),
                                           [keycode](const Loan& loan) { return loan.keycode == keycode; });
            if (!taken) loans_.push_back(Loan{keycode, NoSymbol, {}});
        }
    }
    if (loans_.empty()) return std::nullopt;
    // A free keycode if there is one, otherwise the one used longest ago.
    Loan& loan = *std::min_element(loans_.begin(), loans_.end(), [](const Loan& a, const Loan& b) {
        if ((a.keysym == NoSymbol) != (b.keysym == NoSymbol)) return a.keysym == NoSymbol;
        return a.lastUsed < b.lastUsed;
    });
    if (loan.keysym != NoSymbol) {
        const auto age = std::chrono::steady_clock::now() - loan.lastUsed;
        if (age < minimumReuseAge) std::this_thread::sleep_for(minimumReuseAge - age);
    }
    remap(display, loan, keysym);
    loan.lastUsed = std::chrono::steady_clock::now();
    return loan.keycode;
}

void SpareKeys::restoreIdle(Display* display) {
    const auto now = std::chrono::steady_clock::now();
    const bool anyIdle = std::any_of(loans_.begin(), loans_.end(), [now](const Loan& loan) {
        return loan.keysym != NoSymbol && now - loan.lastUsed > idleBeforeRestore;
    });
    if (!anyIdle) return;
    forgetRemapped(display);
    for (Loan& loan : loans_) {
        if (loan.keysym != NoSymbol && now - loan.lastUsed > idleBeforeRestore) remap(display, loan, NoSymbol);
    }
}

void SpareKeys::restoreAll(Display* display) {
    forgetRemapped(display);
    for (Loan& loan : loans_) {
        if (loan.keysym == NoSymbol) continue;
        const auto age = std::chrono::steady_clock::now() - loan.lastUsed;
        if (age < minimumReuseAge) std::this_thread::sleep_for(minimumReuseAge - age);
        remap(display, loan, NoSymbol);
    }
}

void SpareKeys::remap(Display* display, Loan& loan, KeySym keysym) {
    // The same symbol on both levels, so that a held Shift or Caps Lock cannot turn it into another one.
    KeySym symbols[2] = {keysym, keysym};
    XChangeKeyboardMapping(display, loan.keycode, 2, symbols, 1);
    XSync(display, False);
    // The server applies the change when it handles the request; read it back until it shows, so that the
    // key press that follows is translated with the new symbol.
    for (int attempt = 0; attempt < 50 && currentSymbol(display, loan.keycode) != keysym; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    loan.keysym = keysym;
}

}  // namespace platform::linux_desktop
