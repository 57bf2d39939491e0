#include "platform/services.h"

#include "platform/linux/glib_run_loop.h"
#include "platform/linux/module_services.h"
#include "platform/linux/posix_clock.h"

namespace platform {

void installSystemServices() {
    // Every backend connects on first use, so a command touches only the services it needs; the ones on X11,
    // AT-SPI, FFmpeg and Tesseract live in modules that are opened then (module_services.h), and the ones
    // that use Xlib call XInitThreads as they load.
    static linux_desktop::GlibRunLoop runLoop;
    static linux_desktop::PosixClock clock;
    static linux_desktop::ModulePermissionProbe permissions;
    static linux_desktop::ModuleAccessibility accessibility;
    static linux_desktop::ModuleInputEvents input;
    static linux_desktop::ModuleScreenCapture capture;
    static linux_desktop::ModuleMovieWriters movies;
    static linux_desktop::ModuleApplications applications;
    static linux_desktop::ModuleUserEvents userEvents;
    static linux_desktop::ModuleTextRecognizer textRecognizer;
    install({.runLoop = &runLoop,
             .clock = &clock,
             .permissions = &permissions,
             .accessibility = &accessibility,
             .input = &input,
             .capture = &capture,
             .movies = &movies,
             .applications = &applications,
             .textRecognizer = &textRecognizer,
             .userEvents = &userEvents});
}

}  // namespace platform
