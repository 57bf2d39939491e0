#pragma once
// The `inspect` command.

#include <string>

namespace tools {

/// Reads the inspect job at `path` and writes what the application shows.
void runInspect(const std::string& path);

}  // namespace tools
