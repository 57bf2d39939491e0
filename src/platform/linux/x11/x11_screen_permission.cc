#include "platform/linux/x11/x11_screen_permission.h"

#include <X11/Xutil.h>

#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {

bool screenPixelsReadable() {
    Display* display = queryDisplay();
    if (!display) return false;
    // One round trip: a refused read comes back as its error, which makes XGetImage answer null (the
    // display's error handler records it rather than ending the process).
    XImage* pixel = XGetImage(display, DefaultRootWindow(display), 0, 0, 1, 1, AllPlanes, ZPixmap);
    if (!pixel) return false;
    XDestroyImage(pixel);
    return true;
}

bool displayHasXTest() {
    Display* display = queryDisplay();
    if (!display) return false;
    // Asked of the server through the core protocol: libXtst belongs to the input module, which a
    // permission check has no need to map.
    int opcode = 0, eventBase = 0, errorBase = 0;
    return XQueryExtension(display, "XTEST", &opcode, &eventBase, &errorBase);
}

}  // namespace platform::linux_desktop
