#pragma once
// The X server's top-level windows and monitors, as capturable content.

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/desktop/desktop_entries.h"
#include "platform/linux/x11/x11_properties.h"
#include "platform/screen_capture.h"

namespace platform::linux_desktop {

/// A viewable child of the root window and the application window it holds.
struct X11TopLevel {
    Window topLevel = 0;         // the root's child: a window manager's frame, or the client itself
    Window client = 0;           // the application's window (the one with WM_STATE), or `topLevel`
    bool overrideRedirect = false;
    int x = 0, y = 0;            // outer corner of `topLevel` in root coordinates (border included)
    int width = 0, height = 0;   // size of `topLevel` without its border
    int borderWidth = 0;
    int depth = 0;
    int32_t pid = 0;             // the client's process, 0 when unknown
};

/// The viewable top-levels in stacking order, bottom first. With a window manager, managed windows are
/// the ones on its client list; override-redirect windows (menus, tooltips) are kept too.
std::vector<X11TopLevel> stackedTopLevels(Display* display);

/// The window with WM_STATE at or below `topLevel` (a window manager's frame), or 0 when there is none.
Window clientWindow(Display* display, Window topLevel);


/// The area of `window`'s top-level inside its border, in root coordinates: the window manager's frame with
/// its decorations, or the client itself when nothing frames it.
Rect topLevelFrame(const X11TopLevel& window);

/// `topLevelFrame` without the invisible shadow that the client declares around itself (`_GTK_FRAME_EXTENTS`
/// under a compositor): what the user sees of the window.
Rect visibleFrame(Display* display, const X11TopLevel& window);

/// The child of the root that holds `window` (its window manager's frame, or `window` itself when it is a
/// child of the root); 0 when the window is gone.
Window topLevelOf(Display* display, Window window);

/// The client area of `window` in root coordinates; absent when the window is gone.
std::optional<Rect> clientFrame(Display* display, Window window);

/// Capturable windows (front first), monitors (primary first) and the applications owning the windows.
ShareableContent readShareableContent(Display* display);

/// The RandR monitors, primary first; the whole screen when RandR reports none.
std::vector<ShareableDisplay> readMonitors(Display* display);

}  // namespace platform::linux_desktop
