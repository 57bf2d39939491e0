#pragma once
// What a run does when its job leaves a field out, and the run's fixed waits.

#include <cstdint>
#include <optional>

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

/// A job field in milliseconds as seconds, or `defaultSeconds` when the field is absent.
inline double secondsFromMs(const std::optional<double>& ms, double defaultSeconds) {
    return ms ? *ms / 1000 : defaultSeconds;
}

}  // namespace run
