#pragma once
// The `inspect` command.

#include <string>

#include "base/json_line.h"
#include "jobs/tool_jobs.h"

namespace tools {

/// Reads the inspect job at `path` and writes what the application shows.
void runInspect(const std::string& path);

/// The result object for `job`: the application found (or launched, unless "launch" is false), its window
/// found within 10 s, and its identity, window titles, menu-bar titles and tree dump. Throws CaptureError
/// ("not_found") when the application or the window is missing, and the platform's error when a launch fails.
Out::Message inspectResult(const jobs::InspectJob& job);

}  // namespace tools
