#include "platform/linux/x11/x11_display.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "platform/desktop_lost.h"

namespace platform::linux_desktop {
namespace {

std::atomic<unsigned long> xErrors{0};

int recordXError(Display*, XErrorEvent*) {
    ++xErrors;
    return 0;
}

// Xlib calls this when a connection breaks (the server died or was killed) and ends the process when it
// returns; the loss is reported instead, so that a recording finishes its movie and the host gets an error line.
int reportLostDisplay(Display*) { platform::desktopLost("lost the connection to the X display"); }

}  // namespace

void DisplayCloser::operator()(Display* display) const {
    if (display) XCloseDisplay(display);
}

DisplayPtr openDisplay() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(recordXError);
        XSetIOErrorHandler(reportLostDisplay);
    });
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    return DisplayPtr(XOpenDisplay(name));
}

Display* queryDisplay() {
    // Never closed: a thread still asking while the process exits finds it open, and the server lets go of it
    // when the process ends. A failed open is retried next time (the display may come up later in a session
    // that is still starting).
    static std::mutex opening;
    static Display* display = nullptr;
    std::lock_guard lock(opening);
    if (!display) display = openDisplay().release();
    return display;
}

unsigned long takeXErrorCount() { return xErrors.exchange(0); }

}  // namespace platform::linux_desktop
