#pragma once
// Choosing the window to record from the desktop's capturable windows.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "jobs/job.h"
#include "platform/screen_capture.h"

namespace capture {

/// The window of process `pid` that a run records: among its ordinary (layer 0) windows, the one closest
/// to `frame`, or the largest when no frame is given; the first listed wins a tie. Throws "the app has no
/// on-screen window" when there is none, and the desktop's error when it cannot be asked.
platform::ShareableWindow scWindow(int32_t pid, const std::optional<jobs::Rect>& frame);

/// The ordinary (layer 0) window of process `pid` whose title contains `title` ignoring case (any title
/// when none is given), the largest first; none when the process shows no such window. Throws the
/// desktop's error when it cannot be asked.
std::optional<platform::ShareableWindow> windowOfProcess(int32_t pid, const std::optional<std::string>& title);

/// The processes that show an ordinary (layer 0) window on screen. Throws the desktop's error when it
/// cannot be asked.
std::set<int32_t> processesShowingWindows();

/// The window of process `pid` in which a region is recorded: as `scWindow`, among the windows wider and
/// taller than 64 points. Throws "no on-screen window of process <pid> to record" when there is none.
platform::ShareableWindow regionWindow(int32_t pid, const std::optional<jobs::Rect>& frame);

}  // namespace capture
