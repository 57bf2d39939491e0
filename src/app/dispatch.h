#pragma once
// The command line: one command word, one handler.

#include <optional>
#include <string>
#include <vector>

namespace app {

/// Runs the command that `args` names (element 0 is the program path) and returns the exit status of a
/// command that succeeded; a command that fails ends the process through Out::fail.
int dispatch(const std::vector<std::string>& args);

/// The application name after the first "--app", or empty when "--app" is absent or last.
std::optional<std::string> appFilter(const std::vector<std::string>& args);

}  // namespace app
