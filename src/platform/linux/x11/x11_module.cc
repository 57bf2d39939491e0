// The entry point of the X11 desktop module: window capture, input, applications, the user's pointer presses
// and the desktop's answers to the permission checks, each on the X11 libraries that only this module maps.

#include <X11/Xlib.h>

#include "platform/linux/module_entry.h"
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

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    static X11ScreenCapture capture;
    static XTestInput input;
    static X11Applications applications;
    static XInputUserEvents userEvents;
    static const ModuleTable table{
        .services = {.input = &input, .capture = &capture, .applications = &applications, .userEvents = &userEvents},
        .checks = {.screenPixelsReadable = screenPixelsReadable, .takesSyntheticInput = displayHasXTest}};
    return &table;
}
