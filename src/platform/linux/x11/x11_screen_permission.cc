#include "platform/linux/x11/x11_screen_permission.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {

bool screenPixelsReadable() {
    Display* display = queryDisplay();
    if (!display) return false;
    XImage* pixel = nullptr;
    const Window root = DefaultRootWindow(display);
    withoutXErrors(display, [&] { pixel = XGetImage(display, root, 0, 0, 1, 1, AllPlanes, ZPixmap); });
    if (!pixel) return false;
    XDestroyImage(pixel);
    return true;
}

bool displayHasXTest() {
    Display* display = queryDisplay();
    if (!display) return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
}

}  // namespace platform::linux_desktop
