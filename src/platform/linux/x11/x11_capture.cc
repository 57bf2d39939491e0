#include "platform/linux/x11/x11_capture.h"

#include "base/capture_error.h"
#include "platform/linux/x11/x11_capture_stream.h"
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
    return std::make_unique<X11CaptureStream>(filter, configuration, std::move(sink));
}

}  // namespace platform::linux_desktop
