#pragma once
// The screen-capture service on X11: capturable content, read here, and streams, made by the companion
// module (x11_io), which is opened only when a stream is asked for.

#include "platform/linux/module_entry.h"
#include "platform/screen_capture.h"

namespace platform::linux_desktop {

class X11ScreenCapture final : public ScreenCapture {
public:
    explicit X11ScreenCapture(const ModuleContext& context) : context_(context) {}

    ShareableContent shareableContent() override;
    std::unique_ptr<CaptureStream> makeStream(const ContentFilter& filter, const StreamConfiguration& configuration,
                                              FrameSink sink) override;

private:
    const ModuleContext& context_;
};

}  // namespace platform::linux_desktop
