#pragma once
// Recording a rectangle of one window of a process until a stop file appears or a duration ends.

#include "jobs/job.h"

namespace run {

/// Interval at which the region capture looks for its stop file, in seconds.
inline constexpr double kRegionPollSeconds = 0.02;

/// Records `region` of a window of the region's process (this program's parent when none is given),
/// announces the first frame's wall-clock time (progress line "Recording" and, when asked, the started
/// file), records until the stop file exists or `durationSec` (20 s) has passed since the first frame,
/// and writes the result line. Throws on failure; the caller reports it.
void runRegion(const jobs::Job& job, const jobs::Region& region);

/// The first-frame time in whole milliseconds since 1970 (halves away from zero).
double epochMilliseconds(double epochSeconds);

/// The started file's contents for `milliseconds`: the decimal digits, no fraction, no line end.
std::string startedFileText(double milliseconds);

}  // namespace run
