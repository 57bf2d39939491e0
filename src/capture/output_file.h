#pragma once
// The movie's path: its folder made, and what is there checked before a recording replaces it.

#include <string>

namespace capture {

/// Creates the folder that will hold the file at `out` (relative to the working directory when relative),
/// with every missing parent, and checks `out` with `requireReplaceableOutput`. Throws std::runtime_error
/// naming the folder when it cannot be made.
void createOutputDirectory(const std::string& out);

/// Throws CaptureError (code "bad_request") when something is at `path` that a recording must not
/// replace: only nothing, a regular file, a symbolic link (the link itself, never its target) or an empty
/// folder may be there. A device node, a socket, a FIFO or a folder with contents is refused.
void requireReplaceableOutput(const std::string& path);

/// Removes what is at `path` after `requireReplaceableOutput` accepted it.
void removeReplaceableOutput(const std::string& path);

}  // namespace capture
