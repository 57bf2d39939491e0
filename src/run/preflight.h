#pragma once
// Checking, before recording starts, that the targets of a job's steps can be found in the application as
// it is now. Nothing is pressed, typed or logged.

#include <optional>
#include <string>
#include <vector>

#include "base/json_line.h"
#include "jobs/job.h"
#include "platform/accessibility.h"

namespace run {

/// Separator between the titles of a menu path in messages, and the words for an empty path.
inline constexpr const char* kMenuPathSeparator = " > ";
inline constexpr const char* kEmptyMenuPrefix = "the menu bar";
/// Where a path's first title was looked for in an application without a menu bar.
inline constexpr const char* kNoMenuBarPrefix = "the window's buttons";

/// Searches once for each targeted step's target (in `window`, then in each of the application's windows)
/// and for each menu step's titles (in the menu bar of `axApp`, else a first title among the buttons of
/// `window` that open a pop-over, without opening anything). Returns
/// {"checked": [step numbers found], "deferred": [{"step", "role", "label", "closestNow"}...]}. A target
/// missing after a step that may change the interface is deferred; one missing before, and any missing menu
/// title, throws CaptureError with code "not_found". An application without an accessibility interface has
/// neither element: its targets are never found and its menu steps are not checked.
Out::Message preflight(const std::vector<jobs::Step>& steps, const std::optional<platform::Element>& axApp,
                       const std::optional<platform::Element>& window);

/// `text`, or `replacement` when `text` is empty.
std::string ifEmpty(const std::string& text, const std::string& replacement);

}  // namespace run
