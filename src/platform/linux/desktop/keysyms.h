#pragma once
// What a key press is made of for a virtual key code or a character: keysyms, the same numbers in X11 and
// in xkbcommon, which XTEST (the X11 module) and a compositor's keysym events (the Wayland module) take.

#include <cstdint>
#include <string>
#include <vector>

namespace platform::linux_desktop {

/// No key (NoSymbol).
inline constexpr uint32_t kNoKeysym = 0;

/// The keysym of a US-layout virtual key code of the key table ("s" for 1, Return for 36), or kNoKeysym for a
/// code outside it.
uint32_t keysymForVirtualKey(uint16_t keyCode);

/// The keysym that types code point `codePoint`: the legacy keysym where there is one (eacute, EuroSign,
/// Return for a carriage return), otherwise the Unicode keysym (0x1000000 + code point).
uint32_t keysymForCodePoint(char32_t codePoint);

/// The Unicode character a keysym types, or 0 for keys that type none (modifiers, function keys, dead keys).
char32_t codePointOfKeysym(uint32_t keysym);

/// The code points of UTF-8 `text`, in order; an invalid byte reads as U+FFFD.
std::vector<char32_t> codePoints(const std::string& text);

}  // namespace platform::linux_desktop
