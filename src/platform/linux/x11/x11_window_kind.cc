#include "platform/linux/x11/x11_window_kind.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace platform::linux_desktop {
namespace {

// WM_HINTS as the window manager reads it: the flags, then the input field.
bool takesNoInput(Display* display, const WindowProperties& properties, Window client) {
    const auto hints = properties.longs(client, XA_WM_HINTS, XA_WM_HINTS);
    if (hints.size() < 2 || !(hints[0] & InputHint) || hints[1] != 0) return false;
    // A window that takes no input of itself but asks for it (WM_TAKE_FOCUS) is the "globally active" model.
    const auto protocols = properties.longs(client, atom(display, "WM_PROTOCOLS"), XA_ATOM);
    return std::find(protocols.begin(), protocols.end(), atom(display, "WM_TAKE_FOCUS")) == protocols.end();
}

}  // namespace

std::vector<Atom> windowKindProperties(Display* display) {
    internAtoms(display, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_SPLASH", "WM_PROTOCOLS", "WM_TAKE_FOCUS"});
    return {atom(display, "_NET_WM_WINDOW_TYPE"), XA_WM_HINTS, atom(display, "WM_PROTOCOLS")};
}

bool isSplashWindow(Display* display, const WindowProperties& properties, Window client, bool overrideRedirect) {
    if (overrideRedirect) return true;
    const Atom splash = atom(display, "_NET_WM_WINDOW_TYPE_SPLASH");
    for (unsigned long type : properties.longs(client, atom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM))
        if (type == splash) return true;
    return takesNoInput(display, properties, client);
}

bool isSplashWindow(Display* display, Window client, bool overrideRedirect) {
    if (overrideRedirect) return true;
    const WindowProperties properties(display, {client}, windowKindProperties(display));
    return isSplashWindow(display, properties, client, overrideRedirect);
}

}  // namespace platform::linux_desktop
