#include "x11_state.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace e2e {
namespace {

// Reads one 32-bit property of `window` as longs, as Xlib hands them out.
template <typename Visit>
void readLongs(Display* display, Window window, const char* name, Atom type, Visit visit) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type, &actualType,
                           &format, &count, &remaining, &data) == Success &&
        data && format == 32) {
        visit(reinterpret_cast<const unsigned long*>(data), count);
    }
    if (data) XFree(data);
}

}  // namespace

bool setCapsLock(bool locked) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, locked ? LockMask : 0);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}

int removeWindowPids(pid_t pid) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    int removed = 0;
    readLongs(display, DefaultRootWindow(display), "_NET_CLIENT_LIST", XA_WINDOW,
              [&](const unsigned long* windows, unsigned long count) {
                  for (unsigned long i = 0; i < count; ++i) {
                      bool ours = false;
                      readLongs(display, windows[i], "_NET_WM_PID", XA_CARDINAL,
                                [&](const unsigned long* value, unsigned long n) {
                                    ours = n > 0 && value[0] == static_cast<unsigned long>(pid);
                                });
                      if (!ours) continue;
                      XDeleteProperty(display, windows[i], XInternAtom(display, "_NET_WM_PID", False));
                      ++removed;
                  }
              });
    XSync(display, False);
    XCloseDisplay(display);
    return removed;
}

}  // namespace e2e
