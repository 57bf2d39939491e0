#pragma once
// The screen-capture service on KWin: windows as KWin lists them, in screen coordinates, each recorded through
// KWin's screen cast of that window (its client area, wherever it is and whatever covers it), and the display
// through the screen cast of an output.

#include "platform/screen_capture.h"

namespace platform::linux_desktop {

class KWinScreenCapture final : public ScreenCapture {
public:
    ShareableContent shareableContent() override;
    std::unique_ptr<CaptureStream> makeStream(const ContentFilter& filter, const StreamConfiguration& configuration,
                                              FrameSink sink) override;
};

}  // namespace platform::linux_desktop
