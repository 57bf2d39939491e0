#pragma once
// The X11 side of applications: whose top-level windows are where, bringing one forward, the screen.

#include <X11/Xlib.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/applications.h"

namespace platform::linux_desktop {

/// A top-level window with the process and toolkit identity it carries.
struct AppWindow {
    Window window = 0;
    pid_t pid = 0;
    std::string resName;   // WM_CLASS instance
    std::string resClass;  // WM_CLASS class
    std::string toolkitId; // the toolkit's application id (_GTK_APPLICATION_ID), when set
    std::string startupId; // the id of the launch that opened it (_NET_STARTUP_ID), when set
    bool managed = false;  // listed by the window manager as a client
    bool viewable = false;
};

/// The top-level windows that belong to a process: the window manager's clients in stacking order (bottom
/// first), then the root's other children that name their process. Each window once.
std::vector<AppWindow> applicationWindows(Display* display);

/// Asks for the process's front-most top-level window to be activated: through the window manager
/// (_NET_ACTIVE_WINDOW) when one runs, else by raising it and giving it the input focus. False when the
/// process has no such window.
bool activateProcessWindow(Display* display, pid_t pid);

/// The primary monitor's frame and work area, in bottom-left coordinates flipped about the primary
/// monitor's height; none when the display reports no size.
std::optional<ScreenFrames> mainScreenFrames(Display* display);

}  // namespace platform::linux_desktop
