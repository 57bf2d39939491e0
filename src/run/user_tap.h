#pragma once
// The user-action tap: the user's left clicks inside the recorded area, logged with what they hit.

#include <memory>

#include "platform/user_events.h"
#include "run/click_log.h"

namespace run {

/// The diagnostic written when the tap cannot be made.
inline constexpr const char* kTapFailedLine = "could not create the event tap (Accessibility permission?)";

/// Starts logging the user's left clicks into `log`: each press inside the log's area is logged as a click
/// and as a click step, with the role and first label of the element under it when there is one. What is
/// under the pointer is read whenever it comes to rest inside the area; a press at the point where it
/// rested is logged with what was there then, any other press with what is there when it is handled. `log`
/// must outlive the tap. None, after the diagnostic line on standard error, when the tap cannot be made.
std::unique_ptr<platform::PointerTap> startUserTap(ClickLog& log);

}  // namespace run
