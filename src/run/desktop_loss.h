#pragma once
// A recording that outlives its desktop: when the display server goes away mid-recording, the movie is
// finished from what was written before the error line ends the process.

#include "capture/window_recorder.h"
#include "platform/desktop_lost.h"

namespace run {

/// While it exists, a loss of the desktop finishes `recorder`'s movie and then fails with the loss's
/// description (code "external"). Restores the handler it replaced when it goes.
class FinishMovieOnDesktopLoss {
public:
    explicit FinishMovieOnDesktopLoss(capture::WindowRecorder& recorder);
    ~FinishMovieOnDesktopLoss();
    FinishMovieOnDesktopLoss(const FinishMovieOnDesktopLoss&) = delete;
    FinishMovieOnDesktopLoss& operator=(const FinishMovieOnDesktopLoss&) = delete;

private:
    platform::DesktopLostHandler previous_;
};

}  // namespace run
