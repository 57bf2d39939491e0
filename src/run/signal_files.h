#pragma once
// The files through which a host and a recording signal each other: the stop file the host creates to end
// a recording, and the started file a region capture writes when its first frame is in.

#include <string>

namespace run {

/// Whether a file (of any kind) exists at `path`: the host has asked the recording to stop.
bool fileExists(const std::string& path);

/// Throws CaptureError ("bad_request") when something other than a regular file is at `path`.
void requireWritableStartedFile(const std::string& path);

/// Replaces the regular file at `path` (or makes one) holding `text`; never blocks, and writes nothing
/// where something other than a regular file is. Whether it could be written is not reported.
void writeStartedFile(const std::string& path, const std::string& text);

}  // namespace run
