#pragma once
// Opening the X display safely: a failed request never ends the process.

#include <X11/Xlib.h>

#include <memory>

namespace platform::linux_desktop {

struct DisplayCloser {
    void operator()(Display* display) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

/// A new connection to $DISPLAY, or null when there is none. Installs (once) an error handler that
/// records protocol errors instead of exiting, so callers test results rather than die.
DisplayPtr openDisplay();

/// The process's connection for short questions (the permission checks, the window list), opened on first use
/// and kept until the process ends, so that a command asking several of them, from whichever threads, connects
/// once; null when there is no display. Xlib serialises the threads' requests (openDisplay turns its locking
/// on). Not for streams or event loops, which own a connection each.
Display* queryDisplay();

/// Runs `request` against `display` and reports whether the server raised a protocol error for it.
template <typename Request>
bool withoutXErrors(Display* display, Request request);

/// Errors seen since the last call, for `withoutXErrors`.
unsigned long takeXErrorCount();

template <typename Request>
bool withoutXErrors(Display* display, Request request) {
    XSync(display, False);
    takeXErrorCount();
    request();
    XSync(display, False);
    return takeXErrorCount() == 0;
}

}  // namespace platform::linux_desktop
