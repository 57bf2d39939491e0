#pragma once
// The scripted steps of a run: checking their targets before recording and performing them while
// recording. This build carries neither; a job with steps is refused instead of being run without them.

#include <optional>
#include <vector>

#include "app/json_line.h"
#include "jobs/job.h"
#include "platform/accessibility.h"
#include "run/click_log.h"

namespace run {

/// The error message for a job whose steps this build cannot carry out.
inline constexpr const char* kStepsUnavailable = "step actions are not available in this build";

/// The preflight result of `steps`: {"checked": [], "deferred": []} for no steps. Throws CaptureError
/// "step actions are not available in this build" when there are steps.
Out::Message preflightSteps(const std::vector<jobs::Step>& steps, const std::optional<platform::Element>& app,
                            const std::optional<platform::Element>& window);

/// Performs the step at `index`. Throws CaptureError "step actions are not available in this build".
void performStep(const jobs::Step& step, size_t index, int32_t pid, const std::optional<platform::Element>& app,
                 const std::optional<platform::Element>& window, ClickLog& log);

}  // namespace run
