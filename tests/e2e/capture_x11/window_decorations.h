#pragma once
// What the window manager adds around a test window: the frame the capture backend records and lists.
// Include after GoogleTest: Xlib's macros clash with names in GoogleTest's headers.

#include <X11/Xlib.h>

namespace capture_test {

// What the window manager adds around a client window (_NET_FRAME_EXTENTS: left, right, top, bottom), and
// where the client lies on the root.
struct Decorations {
    long left = 0, right = 0, top = 0, bottom = 0;
    int clientX = 0, clientY = 0;
};

inline Decorations decorationsOf(unsigned long window) {
    Decorations result;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return result;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_FRAME_EXTENTS", False), 0, 4, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data && count == 4 && format == 32) {
        const long* values = reinterpret_cast<const long*>(data);
        result = {values[0], values[1], values[2], values[3]};
    }
    if (data) XFree(data);
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &result.clientX, &result.clientY, &child);
    XCloseDisplay(display);
    return result;
}

}  // namespace capture_test
