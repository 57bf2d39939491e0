#pragma once
// Windows a person does not work in, though the window manager may show them like any other: the one place
// where the X11 module decides it, for the capturable windows and for the accessibility backend's windows.

#include <X11/Xlib.h>

#include <vector>

#include "platform/linux/x11/x11_properties.h"

namespace platform::linux_desktop {

/// The properties `isSplashWindow` reads, to be asked together with others when many windows are read at once.
std::vector<Atom> windowKindProperties(Display* display);

/// Whether the client window `client` is a splash screen or something like it: its type is
/// `_NET_WM_WINDOW_TYPE_SPLASH` (GIMP 2.10's "GIMP Startup"), it bypasses the window manager
/// (`overrideRedirect`), or it never takes keyboard input (`WM_HINTS` input false without `WM_TAKE_FOCUS` in
/// `WM_PROTOCOLS`, the "no input" model: jEdit 5.5's start-up window "win0", typed normal). Reads
/// `properties`, which must hold `windowKindProperties` of `client`.
bool isSplashWindow(Display* display, const WindowProperties& properties, Window client, bool overrideRedirect);

/// `isSplashWindow` of one window, its properties read here.
bool isSplashWindow(Display* display, Window client, bool overrideRedirect);

}  // namespace platform::linux_desktop
