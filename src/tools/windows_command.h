#pragma once
// The `windows` command's listing.

#include <optional>
#include <string>

namespace tools {

/// Writes the `windows` result: the capturable application windows, filtered by desktop identity or
/// application name when `app` is given. Ends the process with an "external" error when the desktop
/// cannot be asked.
void listWindows(const std::optional<std::string>& app);

}  // namespace tools
