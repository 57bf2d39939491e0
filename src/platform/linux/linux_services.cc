#include "platform/services.h"

#include <X11/Xlib.h>

#include "platform/linux/desktop_apps.h"
#include "platform/linux/glib_run_loop.h"
#include "platform/linux/module_services.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/x11_capture.h"
#include "platform/linux/xinput_user_events.h"
#include "platform/linux/xtest_input.h"

namespace platform {

void installSystemServices() {
    // Several threads (the recorder's, the bridge's worker) may talk to X; Xlib must know before any call.
    XInitThreads();
    // Every backend connects on first use, so a command touches only the services it needs.
    static linux_desktop::GlibRunLoop runLoop;
    static linux_desktop::PosixClock clock;
    static linux_desktop::ModulePermissionProbe permissions;
    static linux_desktop::ModuleAccessibility accessibility;
    static linux_desktop::XTestInput input;
    static linux_desktop::X11ScreenCapture capture;
    static linux_desktop::ModuleMovieWriters movies;
    static linux_desktop::DesktopApplications applications;
    static linux_desktop::XInputUserEvents userEvents;
    install({.runLoop = &runLoop,
             .clock = &clock,
             .permissions = &permissions,
             .accessibility = &accessibility,
             .input = &input,
             .capture = &capture,
             .movies = &movies,
             .applications = &applications,
             .userEvents = &userEvents});
}

}  // namespace platform
