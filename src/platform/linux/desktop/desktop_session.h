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
    kwinWayland,   // Wayland on KDE Plasma's compositor (KWin): the KWin module
};

/// True in every Wayland session: a client knows no place of its own there.
inline bool isWayland(DesktopSession session) { return session != DesktopSession::x11; }

/// True when the colon-separated desktop names of XDG_CURRENT_DESKTOP include `name`.
inline bool currentDesktopIncludes(std::string_view name) {
    const char* value = std::getenv("XDG_CURRENT_DESKTOP");
    std::string_view names = value ? value : "";
    while (!names.empty()) {
        const size_t colon = names.find(':');
        if (names.substr(0, colon) == name) return true;
        if (colon == std::string_view::npos) break;
        names.remove_prefix(colon + 1);
    }
    return false;
}

/// The session of this process's environment: Wayland when WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is
/// "wayland", X11 otherwise. A Wayland session whose XDG_CURRENT_DESKTOP names KDE (what Plasma's session
/// sets) is KWin's; any other is taken for GNOME's compositor.
inline DesktopSession desktopSessionFromEnvironment() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const bool wayland = (display && *display) || (type && std::string_view(type) == "wayland");
    if (!wayland) return DesktopSession::x11;
    return currentDesktopIncludes("KDE") ? DesktopSession::kwinWayland : DesktopSession::gnomeWayland;
}

}  // namespace platform::linux_desktop
