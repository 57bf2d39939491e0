#pragma once
// Reading window properties with Xlib.

#include <X11/Xlib.h>

#include <cstdint>
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

/// The 32-bit items of the property named `name`; empty when it is unset.
std::vector<unsigned long> longProperty(Display* display, Window window, const char* name, Atom type);

/// The process that made `window`: its _NET_WM_PID, else the X-Resource extension's answer for the client
/// that created it (for toolkits that do not set the property); 0 when neither knows.
int32_t windowProcess(Display* display, Window window);

/// True when an EWMH window manager runs: the root's _NET_SUPPORTING_WM_CHECK names a window that names
/// itself the same way.
bool windowManagerRuns(Display* display);

/// The atom named `name`, created when missing.
Atom atom(Display* display, const char* name);

}  // namespace platform::linux_desktop
