#pragma once
// The screen-capture service on X11: capturable content and streams.

#include "platform/screen_capture.h"

namespace platform::linux_desktop {

class X11ScreenCapture final : public ScreenCapture {
public:
    ShareableContent shareableContent() override;
    std::unique_ptr<CaptureStream> makeStream(const ContentFilter& filter, const StreamConfiguration& configuration,
                                              FrameSink sink) override;
};

}  // namespace platform::linux_desktop
