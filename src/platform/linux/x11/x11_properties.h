#pragma once
// Reading window properties with Xlib.

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
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

/// Interns `names` in one round trip, so that `atom` answers them from Xlib's cache afterwards.
void internAtoms(Display* display, std::vector<const char*> names);

/// Properties of many windows read together: every (window, property) pair is asked at once and the answers
/// are collected after, one round trip for all. Read back as the functions above read one property.
class WindowProperties {
public:
    WindowProperties(Display* display, const std::vector<Window>& windows, const std::vector<Atom>& properties);

    /// As `longProperty`.
    std::vector<unsigned long> longs(Window window, Atom property, Atom type) const;
    /// As `utf8Property`.
    std::optional<std::string> utf8(Window window, Atom property) const;
    /// As `textProperty`.
    std::optional<std::string> text(Window window, Atom property) const;
    /// WM_CLASS (when asked for) as XGetClassHint reads it: the instance and the class; absent when unset.
    std::optional<std::pair<std::string, std::string>> windowClass(Window window) const;

private:
    struct Value {
        Atom type = None;
        int format = 0;
        std::string bytes;  // the items as the server sends them (32-bit items are 4 bytes each)
    };
    const Value* find(Window window, Atom property) const;

    Display* display_;
    std::map<std::pair<Window, Atom>, Value> values_;  // only properties that are set
};

}  // namespace platform::linux_desktop
