#pragma once
// What the XTEST backend presses for a virtual key code or a character: X keysyms.

#include <X11/X.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform::linux_desktop {

/// The keysym of a US-layout virtual key code of the key table ("s" for 1, Return for 36), or NoSymbol
/// for a code outside it.
KeySym keysymForVirtualKey(uint16_t keyCode);

/// The keysym that types code point `codePoint`: the legacy keysym where X has one (eacute, EuroSign,
/// Return for a carriage return), otherwise the Unicode keysym (0x1000000 + code point).
KeySym keysymForCodePoint(char32_t codePoint);

/// The Unicode character a keysym types, or 0 for keys that type none (modifiers, function keys, dead keys).
char32_t codePointOfKeysym(KeySym keysym);

/// The code points of UTF-8 `text`, in order; an invalid byte reads as U+FFFD.
std::vector<char32_t> codePoints(const std::string& text);

}  // namespace platform::linux_desktop
