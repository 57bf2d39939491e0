#pragma once
// One screen cast of KWin (zkde_screencast_unstable_v1): a window's or an output's frames as a PipeWire node,
// read by the shared PipeWire stream for as long as the cast is held.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/screen_capture.h"

struct wl_output;

namespace platform::linux_desktop {

/// What a cast records.
struct CastSource {
    enum class Kind { window, output } kind = Kind::window;
    std::string windowId;        // KWin's UUID of the window, for Kind::window
    wl_output* output = nullptr;  // for Kind::output
};

/// A stream of `source` delivering to `sink` as `configuration` asks, the pointer drawn in when it says so.
/// Asks KWin for the cast when made (throws CaptureError when KWin refuses or does not answer) and reads its
/// frames once started.
std::unique_ptr<CaptureStream> makeKWinCastStream(const CastSource& source, const StreamConfiguration& configuration,
                                                  FrameSink sink);

}  // namespace platform::linux_desktop
