#pragma once
// The screen-capture service on GNOME's Wayland compositor: windows as the accessibility bus lists them,
// each at the origin of its own coordinates (a Wayland client knows no position), recorded through the
// compositor's screen cast of the focused window.

#include "platform/screen_capture.h"

namespace platform::linux_desktop {

class WaylandScreenCapture final : public ScreenCapture {
public:
    ShareableContent shareableContent() override;
    std::unique_ptr<CaptureStream> makeStream(const ContentFilter& filter, const StreamConfiguration& configuration,
                                              FrameSink sink) override;
};

}  // namespace platform::linux_desktop
