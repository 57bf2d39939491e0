#pragma once
// Whether the tool runs in a Wayland session, where the desktop's services come from the compositor's own
// interfaces instead of X11. Header-only: the executable picks its desktop module with it.

#include <cstdlib>
#include <string_view>

namespace platform::linux_desktop {

/// True when the session is Wayland: WAYLAND_DISPLAY is set, or XDG_SESSION_TYPE is "wayland".
inline bool waylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display && *display) return true;
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return type && std::string_view(type) == "wayland";
}

}  // namespace platform::linux_desktop
