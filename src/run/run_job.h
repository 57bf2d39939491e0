#pragma once
// The `run` command.

#include <string>

namespace run {

/// Reads the capture job at `path` and carries it out, writing the result or error line.
void runJob(const std::string& path);

}  // namespace run
