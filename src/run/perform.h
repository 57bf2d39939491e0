#pragma once
// Performing one scripted step against the recorded application: finding its target by role and label,
// acting through the accessibility interface or synthesised input, logging clicks and pausing after each
// action so that the application settles before the next step.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "jobs/job.h"
#include "platform/accessibility.h"
#include "run/click_log.h"

namespace run {

/// How long a step waits for its target when it gives no `ms`.
inline constexpr double kTargetTimeoutSeconds = 5;
/// Pauses after each action, in seconds.
inline constexpr double kPauseAfterClickSeconds = 0.45;
inline constexpr double kPauseAfterTypeFocusSeconds = 0.15;
inline constexpr double kPauseAfterTypingSeconds = 0.3;
inline constexpr double kPauseAfterKeySeconds = 0.3;
inline constexpr double kPauseAfterScrollSeconds = 0.35;
inline constexpr double kPauseAfterMenuItemSeconds = 0.25;
inline constexpr double kPauseAfterLastMenuItemSeconds = 0.3;
/// A "wait" step without `ms`, and the longest one, in seconds.
inline constexpr double kDefaultWaitSeconds = 0.5;
inline constexpr double kLongestWaitSeconds = 30;
/// Vertical scroll amount, in pixels, when a "scroll" step gives no `y`.
inline constexpr double kDefaultScrollPixels = 300;
/// Suggestions listed for a missing target.
inline constexpr int kTargetSuggestions = 6;

/// Performs `step`, the step at zero-based `index` of the job, against the application `axApp` (process
/// `pid`) whose window `window` is being recorded, logging clicks to `log`. Throws CaptureError when the
/// step cannot be carried out; what it did before the failure stays done. An application without an
/// accessibility interface has neither element: key presses, typing without a target and waits still act,
/// while a target is never found and a menu step finds no menu bar.
void perform(const jobs::Step& step, size_t index, int32_t pid, const std::optional<platform::Element>& axApp,
             const std::optional<platform::Element>& window, ClickLog& log);

/// Whether the step acts on a target element: "click" and "focus" always, "type" and "scroll" when they
/// name a role or a label.
bool targeted(const jobs::Step& step);

/// Whether the step may change the interface: "click", "press", "type", "menu" and "scroll".
bool changesUI(const jobs::Step& step);

/// "role R and label "L"" for a target, with "*" for what is absent; shared by the run's and the
/// preflight's messages.
std::string targetWords(const std::optional<std::string>& role, const std::optional<std::string>& label);

}  // namespace run
