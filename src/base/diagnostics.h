#pragma once
// Plain diagnostic lines on standard error, for people reading what the tool did; standard output carries
// only the JSON lines. Shared by the core and the desktop backends.

#include <string>

namespace Out {

/// Writes `bytes` to the file descriptor `fd` in one write call, continued only after a short write or a
/// signal, so that lines from different threads or processes never interleave. A closed or broken stream
/// is ignored: nobody is left to tell.
void writeWhole(int fd, const std::string& bytes);

/// Writes `text` as one plain line on standard error.
void log(const std::string& text);

}  // namespace Out
