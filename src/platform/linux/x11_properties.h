#pragma once
// Reading window properties with Xlib.

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

namespace platform::linux_desktop {

/// The 32-bit items of a property of `type` (CARDINAL, WINDOW, ATOM, ...); empty when it is unset.
std::vector<unsigned long> longProperty(Display* display, Window window, Atom property, Atom type);

/// A UTF8_STRING property; absent when unset.
std::optional<std::string> utf8Property(Display* display, Window window, Atom property);

/// A text property in any encoding (STRING, COMPOUND_TEXT, UTF8_STRING), as UTF-8; absent when unset.
std::optional<std::string> textProperty(Display* display, Window window, Atom property);

/// The atom named `name`, created when missing.
Atom atom(Display* display, const char* name);

}  // namespace platform::linux_desktop
