#pragma once
// Starting an application from its desktop entry: the entry's id and the argument vector of its command.

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/desktop/desktop_entries.h"

namespace platform::linux_desktop {

/// The desktop id of the entry file at `path`: its place below an application directory when it lies in
/// one, else its file name without ".desktop".
std::string desktopIdOf(const std::string& path);

/// The argument vector of the entry's command: Exec with its string escapes resolved, split by the entry
/// quoting rules, field codes for files and URLs dropped (nothing is opened), %i, %c, %k and %% expanded.
/// Empty when Exec is empty or its quoting is malformed.
std::vector<std::string> commandArguments(const DesktopEntry& entry);

/// `program` as a path: itself when it contains "/", else the first executable of that name on $PATH.
std::optional<std::string> findProgram(const std::string& program);

}  // namespace platform::linux_desktop
