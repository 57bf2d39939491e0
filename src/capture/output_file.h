#pragma once
// The movie's path before a recording replaces what is there.

#include <string>

namespace capture {

/// Throws CaptureError (code "bad_request") when something is at `path` that a recording must not
/// replace: only nothing, a regular file, a symbolic link (the link itself, never its target) or an empty
/// folder may be there. A device node, a socket, a FIFO or a folder with contents is refused.
void requireReplaceableOutput(const std::string& path);

/// Removes what is at `path` after `requireReplaceableOutput` accepted it.
void removeReplaceableOutput(const std::string& path);

}  // namespace capture
