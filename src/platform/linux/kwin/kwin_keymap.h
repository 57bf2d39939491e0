#pragma once
// Where a keysym is on the keymap KWin sends its clients (the user's layouts, US without one): the evdev key
// that types it in the layout in use and the modifier keys to hold around it (Shift, AltGr).

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/linux/kwin/kwin_connection.h"

struct xkb_context;
struct xkb_keymap;

namespace platform::linux_desktop {

/// One press that types a keysym: the modifier keys held around the key, all as evdev codes.
struct KeyStroke {
    uint32_t key = 0;
    std::vector<uint32_t> modifierKeys;
};

class KWinKeymap {
public:
    KWinKeymap();
    ~KWinKeymap();
    KWinKeymap(const KWinKeymap&) = delete;
    KWinKeymap& operator=(const KWinKeymap&) = delete;

    /// Takes the compositor's keymap, compiled again only when it changed. False when it cannot be read.
    bool update(const KeymapText& keymap);

    /// The press that types `keysym` in the layout in use, with the fewest modifier keys; nothing when the
    /// layout has no key for it, or only one reached through modifiers other than Shift and AltGr (Level 3 and
    /// Level 5 shifts).
    std::optional<KeyStroke> strokeFor(uint32_t keysym) const;

private:
    // The key whose first level gives `keysym` in the layout in use (a modifier key), as an xkb key code.
    std::optional<uint32_t> keyGiving(uint32_t keysym) const;

    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    uint64_t generation_ = 0;
    uint32_t layout_ = 0;
};

}  // namespace platform::linux_desktop
