#include "platform/linux/x11_io/xtest_focus.h"

#include <X11/Xatom.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "platform/linux/x11/x11_properties.h"

namespace platform::linux_desktop {
namespace {

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
    for (unsigned long window : longProperty(display, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW)) {
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

void activate(Display* display, Window window) {
    const Window root = DefaultRootWindow(display);
    if (windowManagerRuns(display)) {
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
