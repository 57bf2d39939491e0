#pragma once
// Where a window asked for by size goes on the main screen.

#include <optional>

#include "platform/accessibility.h"
#include "jobs/job.h"
#include "platform/applications.h"
#include "platform/screen_capture.h"

namespace run {

/// The top-left corner, in the accessibility space (origin at the main screen's top left, y down), that
/// centres a window of `width` × `height` within the main screen's visible frame; a window larger than that
/// area goes to its top-left corner. `screen` gives both frames in bottom-left coordinates; without a
/// screen both are the zero rectangle.
platform::Point placementOrigin(const std::optional<platform::ScreenFrames>& screen, double width, double height);

/// Centres `window` of `process` (found by process: it has no interface element) at `size` the same way,
/// through the applications service; the frame asked for, or none when the window cannot be placed.
std::optional<platform::Rect> placeWindowByProcess(const platform::ApplicationProcess& process,
                                                          const platform::ShareableWindow& window,
                                                          const jobs::Size& size);

}  // namespace run
