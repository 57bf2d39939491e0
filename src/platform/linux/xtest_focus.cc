#include "platform/linux/xtest_focus.h"

#include <X11/Xatom.h>
#include <X11/extensions/XRes.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace platform::linux_desktop {
namespace {

// The 32-bit items of a window property of `type`, empty when it is missing.
std::vector<unsigned long> propertyItems(Display* display, Window window, const char* name, Atom type) {
    std::vector<unsigned long> items;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, False);
    if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType, &format, &count,
                           &remaining, &data) == Success &&
        data && actualType == type && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);  // Xlib hands out longs
        items.assign(values, values + count);
    }
    if (data) XFree(data);
    return items;
}

// The process that made `window`: its _NET_WM_PID, else the X-Resource extension's word on the client
// that created it (for toolkits that do not set the property).
std::optional<int32_t> windowProcess(Display* display, Window window) {
    const auto pid = propertyItems(display, window, "_NET_WM_PID", XA_CARDINAL);
    if (!pid.empty()) return static_cast<int32_t>(pid.front());
    int eventBase = 0, errorBase = 0;
    if (!XResQueryExtension(display, &eventBase, &errorBase)) return std::nullopt;
    XResClientIdSpec spec{window, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* values = nullptr;
    std::optional<int32_t> found;
    if (XResQueryClientIds(display, 1, &spec, &count, &values) == Success) {
        for (long i = 0; i < count && !found; ++i) {
            const pid_t clientPid = XResGetClientPid(&values[i]);
            if (clientPid > 0) found = static_cast<int32_t>(clientPid);
        }
        XResClientIdsDestroy(count, values);
    }
    return found;
}

Window parentOf(Display* display, Window window) {
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent == root ? None : parent;
}

bool isViewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// The client windows in stacking order, bottom first: the window manager's list, else the root's children.
std::vector<Window> topLevelWindows(Display* display) {
    const Window root = DefaultRootWindow(display);
    std::vector<Window> windows;
    for (unsigned long window : propertyItems(display, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW)) {
        windows.push_back(window);
    }
    if (!windows.empty()) return windows;
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) && children) {
        windows.assign(children, children + count);
        XFree(children);
    }
    return windows;
}

// The top-most viewable client window of `pid`; a hidden one (minimised) when it has no viewable one.
Window processWindow(Display* display, int32_t pid) {
    Window hidden = None;
    const auto windows = topLevelWindows(display);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (windowProcess(display, *it) != pid) continue;
        if (isViewable(display, *it)) return *it;
        if (hidden == None) hidden = *it;
    }
    return hidden;
}

bool hasWindowManager(Display* display) {
    return !propertyItems(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
}

void activate(Display* display, Window window) {
    const Window root = DefaultRootWindow(display);
    if (hasWindowManager(display)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // source: a tool acting for the user, so focus stealing rules do not apply
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XMapRaised(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    XFlush(display);
}

}  // namespace

bool processHasFocus(Display* display, int32_t pid) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot) return false;
    for (Window window = focus; window != None; window = parentOf(display, window)) {
        if (windowProcess(display, window) == pid) return true;
    }
    return false;
}

bool focusProcess(Display* display, int32_t pid, double timeoutSeconds) {
    if (processHasFocus(display, pid)) return true;
    const Window window = processWindow(display, pid);
    if (window == None) return false;
    activate(display, window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (processHasFocus(display, pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return processHasFocus(display, pid);
}

}  // namespace platform::linux_desktop
