// The entry point of the X11 desktop module: the windows and applications of the desktop, capturable content,
// and the desktop's answers to the permission checks, on the X11 libraries that listing needs. Frame streams,
// input and the user's presses are its companion's (x11_io), whose libraries a command that only lists
// windows never maps.

#include <X11/Xlib.h>

#include "platform/linux/module_entry.h"
#include "platform/linux/x11/x11_applications.h"
#include "platform/linux/x11/x11_capture.h"
#include "platform/linux/x11/x11_screen_permission.h"

namespace {

// Several threads (the recorder's, the bridge's worker) may talk to X; Xlib must know before any call, so
// before anything in this module, or in the companion that links it, runs.
__attribute__((constructor)) void xlibThreadsFirst() { XInitThreads(); }

}  // namespace

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    static X11ScreenCapture capture(context);
    static X11Applications applications;
    static const ModuleTable table{
        .services = {.capture = &capture, .applications = &applications},
        .checks = {.screenPixelsReadable = screenPixelsReadable, .takesSyntheticInput = displayHasXTest}};
    return &table;
}
