#include "platform/services.h"

#include <X11/Xlib.h>

#include <memory>

#include "platform/linux/atspi_accessibility.h"
#include "platform/linux/desktop_apps.h"
#include "platform/linux/ffmpeg_movie_writer.h"
#include "platform/linux/glib_run_loop.h"
#include "platform/linux/linux_permission_probe.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/tesseract/tesseract_recognizer.h"
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
    static linux_desktop::LinuxPermissionProbe permissions;
    static linux_desktop::AtspiAccessibility accessibility;
    static linux_desktop::XTestInput input;
    static linux_desktop::X11ScreenCapture capture;
    static linux_desktop::FfmpegMovieWriters movies;
    static linux_desktop::DesktopApplications applications;
    static linux_desktop::XInputUserEvents userEvents;
    static const std::unique_ptr<TextRecognizer> textRecognizer = linux_desktop::makeTesseractRecognizer();
    install({.runLoop = &runLoop,
             .clock = &clock,
             .permissions = &permissions,
             .accessibility = &accessibility,
             .input = &input,
             .capture = &capture,
             .movies = &movies,
             .applications = &applications,
             .textRecognizer = textRecognizer.get(),
             .userEvents = &userEvents});
}

}  // namespace platform
