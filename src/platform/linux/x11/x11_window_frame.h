#pragma once
// Top-level X11 windows of applications: finding the one behind an accessible window, the one under a screen
// point, and moving, resizing, raising and activating it (through the window manager when there is one).

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace platform::linux_desktop {

/// How far a window's visible content lies inside its X11 window on each side.
struct Margins {
    double left = 0, right = 0, top = 0, bottom = 0;
};

/// An application's top-level window as X11 shows it.
struct ClientWindow {
    Window client = 0;     // the application's own window
    Window outermost = 0;  // the child of the root that holds it (the window manager's frame, or the client)
    Rect outer;            // the outermost window in root coordinates
    Rect frame;            // what the user sees of it: decorations included, a declared shadow left out
    Rect clientArea;       // the client window in root coordinates
    int pid = 0;           // 0 when unknown
    std::string title;
    bool overrideRedirect = false;  // menus and other pop-ups that bypass the window manager
    bool splash = false;            // a splash screen or the like, no window a person works in (`isSplashWindow`)
    // The invisible shadow a client-side decorated window draws around itself under a compositor, as it
    // declares it (`_GTK_FRAME_EXTENTS`); nothing when it declares none.
    std::optional<Margins> invisibleMargins;
};

/// The shadow that `client` declares in `_GTK_FRAME_EXTENTS` (left, right, top, bottom) while a compositing
/// manager runs, which makes it see-through; nothing otherwise.
std::optional<Margins> declaredShadow(Display* display, Window client);

/// Whether a compositing manager runs (the `_NET_WM_CM_Sn` selection of the default screen has an owner): the
/// condition under which a declared shadow counts. Asked once for many windows.
bool compositingManagerRuns(Display* display);

/// The shadow that the items of a `_GTK_FRAME_EXTENTS` property declare: nothing unless they are four, not all
/// zero. It counts only while a compositing manager runs.
std::optional<Margins> shadowOf(const std::vector<unsigned long>& frameExtents);

/// The part of a window that the user sees: `outer` (the outermost window) without the shadow that the client
/// at `clientArea` declares around itself; all of `outer` when it declares none.
Rect visiblePart(const Rect& outer, const Rect& clientArea, const std::optional<Margins>& shadow);

/// The viewable top-level windows, top-most first.
std::vector<ClientWindow> clientWindowsTopFirst(Display* display);

/// The top-most viewable top-level window whose frame holds `point` (the one a click there reaches).
std::optional<ClientWindow> clientWindowAt(Display* display, Point point);

/// The top-level window of process `pid` that best matches an accessible window titled `title` with frame
/// `frame` (same title first, then the nearest frame).
std::optional<ClientWindow> findClientWindow(Display* display, int pid, const std::string& title,
                                             const std::optional<Rect>& frame);

/// Moves and/or resizes `window` so that its frame (decorations included, a declared shadow left out) has the
/// given origin and size, and
/// waits (at most about a second) until the server shows the change. True when the request was made.
bool moveResizeFrame(Display* display, const ClientWindow& window, const std::optional<Point>& origin,
                     const std::optional<Size>& size);

/// Raises `window` to the top and gives it the input focus (through the window manager when there is one).
bool raiseAndActivate(Display* display, const ClientWindow& window);

}  // namespace platform::linux_desktop
