#include "caps_lock.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace e2e {

bool setCapsLock(bool locked) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, locked ? LockMask : 0);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}

}  // namespace e2e
