#include "platform/linux/x11/x11_capture.h"

#include "base/capture_error.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_windows.h"

namespace platform::linux_desktop {

ShareableContent X11ScreenCapture::shareableContent() {
    // The process's query connection, which the permission check before the list has usually opened already.
    Display* display = queryDisplay();
    if (!display) throw CaptureError("cannot open the X display", "external");
    return readShareableContent(display);
}

std::unique_ptr<CaptureStream> X11ScreenCapture::makeStream(const ContentFilter& filter,
                                                            const StreamConfiguration& configuration,
                                                            FrameSink sink) {
    const ModuleTable* streams = context_.desktopCompanion ? context_.desktopCompanion() : nullptr;
    if (!streams || !streams->services.capture)
        throw CaptureError("cannot load the X11 input module: it gives no frame streams");
    return streams->services.capture->makeStream(filter, configuration, std::move(sink));
}

}  // namespace platform::linux_desktop
