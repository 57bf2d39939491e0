#pragma once
// The kind of desktop session the tool runs in, which decides the desktop module that serves it. The
// executable decides it once, from the environment at start, and tells every module it opens
// (module_entry.h); nothing else reads the environment for it. Header-only: the executable maps no module
// library to decide.

#include <cstdlib>
#include <string_view>

namespace platform::linux_desktop {

/// The sessions there is a desktop module for. A new desktop is a value here, the line that recognises it
/// in `desktopSessionFromEnvironment`, and its module's line in linux_services.cc.
enum class DesktopSession {
    x11,           // an X server: the X11 module
    gnomeWayland,  // Wayland on GNOME's compositor (mutter, GNOME Shell): the Wayland module
};

/// True in every Wayland session: a client knows no place of its own there.
inline bool isWayland(DesktopSession session) { return session != DesktopSession::x11; }

/// The session of this process's environment: Wayland when WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is
/// "wayland" (served by GNOME's compositor, the only Wayland desktop with a module), X11 otherwise.
inline DesktopSession desktopSessionFromEnvironment() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display && *display) return DesktopSession::gnomeWayland;
    const char* type = std::getenv("XDG_SESSION_TYPE");
    if (type && std::string_view(type) == "wayland") return DesktopSession::gnomeWayland;
    return DesktopSession::x11;
}

}  // namespace platform::linux_desktop
