// The entry points of the X11 desktop module: window capture, input, applications, the user's pointer presses
// and the screen-recording check, each on the X11 libraries that only this module maps.

#include <X11/Xlib.h>

#include "platform/linux/x11/x11_applications.h"
#include "platform/linux/x11/x11_capture.h"
#include "platform/linux/x11/x11_screen_permission.h"
#include "platform/linux/x11/xinput_user_events.h"
#include "platform/linux/x11/xtest_input.h"

namespace {

// Several threads (the recorder's, the bridge's worker) may talk to X; Xlib must know before any call, so
// before anything in this module runs.
__attribute__((constructor)) void xlibThreadsFirst() { XInitThreads(); }

}  // namespace

#define QC_MODULE_ENTRY extern "C" __attribute__((visibility("default")))

QC_MODULE_ENTRY platform::ScreenCapture* qc_screen_capture() {
    static platform::linux_desktop::X11ScreenCapture capture;
    return &capture;
}

QC_MODULE_ENTRY platform::InputEvents* qc_input_events() {
    static platform::linux_desktop::XTestInput input;
    return &input;
}

QC_MODULE_ENTRY platform::Applications* qc_applications() {
    static platform::linux_desktop::X11Applications applications;
    return &applications;
}

QC_MODULE_ENTRY platform::UserEvents* qc_user_events() {
    static platform::linux_desktop::XInputUserEvents userEvents;
    return &userEvents;
}

QC_MODULE_ENTRY bool qc_screen_pixels_readable() { return platform::linux_desktop::screenPixelsReadable(); }
