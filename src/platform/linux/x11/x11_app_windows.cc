#include "platform/linux/x11/x11_app_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <set>

#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_windows.h"

namespace platform::linux_desktop {
namespace {

std::optional<AppWindow> describe(Display* display, Window window, bool managed) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return std::nullopt;
    AppWindow app;
    app.window = window;
    app.managed = managed;
    app.viewable = attributes.map_state == IsViewable;
    XClassHint hint{nullptr, nullptr};
    const bool hasClass = XGetClassHint(display, window, &hint);
    if (hasClass) {
        if (hint.res_name) app.resName = hint.res_name;
        if (hint.res_class) app.resClass = hint.res_class;
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    app.toolkitId = utf8Property(display, window, atom(display, "_GTK_APPLICATION_ID")).value_or("");
    app.startupId = utf8Property(display, window, atom(display, "_NET_STARTUP_ID")).value_or("");
    // A window that names neither its process nor a class is no application's (a window manager's frame).
    const bool namesProcess = !longProperty(display, window, "_NET_WM_PID", XA_CARDINAL).empty();
    if (namesProcess || hasClass) app.pid = windowProcess(display, window);
    if (app.pid <= 0) return std::nullopt;
    if (attributes.override_redirect && !managed) return std::nullopt;  // menus, tooltips, pop-ups
    return app;
}

}  // namespace

std::vector<AppWindow> applicationWindows(Display* display) {
    const Window root = DefaultRootWindow(display);
    std::vector<AppWindow> windows;
    std::set<Window> seen;
    auto clients = longProperty(display, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    if (clients.empty()) clients = longProperty(display, root, "_NET_CLIENT_LIST", XA_WINDOW);
    for (unsigned long client : clients) {
        if (!seen.insert(client).second) continue;
        if (auto app = describe(display, static_cast<Window>(client), true)) windows.push_back(*app);
    }
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            if (!seen.insert(children[i]).second) continue;
            if (auto app = describe(display, children[i], false)) windows.push_back(*app);
        }
        if (children) XFree(children);
    }
    return windows;
}

bool activateProcessWindow(Display* display, pid_t pid) {
    // The front-most viewable window of the process; managed clients come in stacking order, bottom first.
    std::optional<AppWindow> chosen;
    for (const auto& window : applicationWindows(display)) {
        if (window.pid != pid || !window.viewable) continue;
        // Later windows are higher in the stacking order; a managed client wins over an unmanaged window.
        if (!chosen || window.managed || !chosen->managed) chosen = window;
    }
    if (!chosen) {
        // A minimised window is not viewable; the window manager can still bring it back.
        for (const auto& window : applicationWindows(display))
            if (window.pid == pid && window.managed) chosen = window;
    }
    if (!chosen) return false;
    const Window root = DefaultRootWindow(display);
    if (windowManagerRuns(display)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = chosen->window;
        event.xclient.message_type = atom(display, "_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // the request comes from a pager-like tool acting for the user
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = 0;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(display, chosen->window);
        XSetInputFocus(display, chosen->window, RevertToParent, CurrentTime);
    }
    XSync(display, False);
    return true;
}

std::optional<ScreenFrames> mainScreenFrames(Display* display) {
    const Window root = DefaultRootWindow(display);
    double mx = 0, my = 0, mw = DisplayWidth(display, DefaultScreen(display)),
           mh = DisplayHeight(display, DefaultScreen(display));
    int count = 0;
    if (XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count)) {
        int chosen = -1;
        for (int i = 0; i < count; ++i)
            if (monitors[i].primary) chosen = i;
        if (chosen < 0 && count > 0) chosen = 0;
        if (chosen >= 0) {
            mx = monitors[chosen].x;
            my = monitors[chosen].y;
            mw = monitors[chosen].width;
            mh = monitors[chosen].height;
        }
        XRRFreeMonitors(monitors);
    }
    if (mw <= 0 || mh <= 0) return std::nullopt;

    // The work area of the current desktop, limited to the monitor; the whole monitor without one.
    double vx = mx, vy = my, vw = mw, vh = mh;
    const auto workAreas = longProperty(display, root, "_NET_WORKAREA", XA_CARDINAL);
    const auto current = longProperty(display, root, "_NET_CURRENT_DESKTOP", XA_CARDINAL);
    size_t desktop = current.empty() ? 0 : current.front();
    if (workAreas.size() >= 4 * (desktop + 1) || workAreas.size() >= 4) {
        if (workAreas.size() < 4 * (desktop + 1)) desktop = 0;
        const double ax = static_cast<long>(workAreas[4 * desktop]);
        const double ay = static_cast<long>(workAreas[4 * desktop + 1]);
        const double aw = workAreas[4 * desktop + 2];
        const double ah = workAreas[4 * desktop + 3];
        const double left = std::max(mx, ax), top = std::max(my, ay);
        const double right = std::min(mx + mw, ax + aw), bottom = std::min(my + mh, ay + ah);
        if (right > left && bottom > top) {
            vx = left;
            vy = top;
            vw = right - left;
            vh = bottom - top;
        }
    }
    // Bottom-left coordinates: y' = H - y for the primary monitor's height H, so that H minus a top edge
    // in these coordinates gives the top edge in the root window's coordinates again.
    ScreenFrames frames;
    frames.frame = {mx, mh - (my + mh), mw, mh};
    frames.visibleFrame = {vx, mh - (vy + vh), vw, vh};
    return frames;
}

}  // namespace platform::linux_desktop
