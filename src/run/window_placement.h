#pragma once
// Where a window asked for by size goes on the main screen.

#include <optional>

#include "platform/accessibility.h"
#include "platform/applications.h"

namespace run {

/// The top-left corner, in the accessibility space (origin at the main screen's top left, y down), that
/// centres a window of `width` × `height` within the main screen's visible frame; a window larger than that
/// area goes to its top-left corner. `screen` gives both frames in bottom-left coordinates; without a
/// screen both are the zero rectangle.
platform::Point placementOrigin(const std::optional<platform::ScreenFrames>& screen, double width, double height);

}  // namespace run
