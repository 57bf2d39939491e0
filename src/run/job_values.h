#pragma once
// Values a run derives from its job, and the defaults that stand in for absent fields.

#include <cstdint>
#include <optional>
#include <string>

#include "jobs/job.h"

namespace run {

/// Frames per second when the job gives none.
inline constexpr int64_t kDefaultFps = 60;
/// Settle and tail waits when the job gives none, in seconds.
inline constexpr double kDefaultSettleSeconds = 0.8;
inline constexpr double kDefaultTailSeconds = 0.8;
/// Longest wait for the application's window, in seconds.
inline constexpr double kMainWindowTimeoutSeconds = 15;
/// Longest wait for the first recorded frame, in seconds.
inline constexpr double kFirstFrameTimeoutSeconds = 5;
/// Wait after the first frame, before the action phase, in seconds.
inline constexpr double kAfterFirstFrameSeconds = 0.4;
/// Length of a user recording or a region capture when the job gives no `durationSec`, in seconds.
inline constexpr double kDefaultRecordingSeconds = 20;

/// `app` without the spaces and tabs at either end (the Unicode space separators and the tab; line
/// breaks stay); the empty string when absent.
std::string applicationString(const std::optional<std::string>& app);

/// Creates the folder that will hold the file at `out` (relative to the working directory when relative),
/// with every missing parent. Throws std::runtime_error naming the folder when it cannot be made, and
/// CaptureError when `out` names something a movie must not replace (a device, socket, FIFO or full folder).
void createOutputDirectory(const std::string& out);

/// Throws CaptureError ("bad_request") when something other than a regular file is at `path`.
void requireWritableStartedFile(const std::string& path);

/// Replaces the regular file at `path` (or makes one) holding `text`; never blocks, and writes nothing
/// where something other than a regular file is. Whether it could be written is not reported.
void writeStartedFile(const std::string& path, const std::string& text);

/// Whether a file (of any kind) exists at `path`.
bool fileExists(const std::string& path);

/// Milliseconds from a job field in milliseconds, or the default in seconds, as seconds.
double secondsFromMs(const std::optional<double>& ms, double defaultSeconds);

}  // namespace run
