#include "platform/linux/x11_display.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace platform::linux_desktop {
namespace {

std::atomic<unsigned long> xErrors{0};

int recordXError(Display*, XErrorEvent*) {
    ++xErrors;
    return 0;
}

}  // namespace

void DisplayCloser::operator()(Display* display) const {
    if (display) XCloseDisplay(display);
}

DisplayPtr openDisplay() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(recordXError);
    });
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    return DisplayPtr(XOpenDisplay(name));
}

unsigned long takeXErrorCount() { return xErrors.exchange(0); }

}  // namespace platform::linux_desktop
