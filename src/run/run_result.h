#pragma once
// The result line of a window or display run.

#include <optional>
#include <string>

#include "base/json_line.h"
#include "jobs/job.h"

namespace run {

/// What a finished run reports.
struct RunOutcome {
    std::string output;            // the job's `out`, as written
    platform::PixelSize pixelSize; // the recorder's
    double scale = 1;              // pixels per point
    double durationSeconds = 0;    // from the recorder's stop
    int frames = 0;
    Out::Message clicks = Out::Message::array();
    Out::Message steps = Out::Message::array();
    std::string title;
    bool display = false;          // the whole display was recorded
    jobs::Rect recordedArea;       // global screen points
    std::optional<jobs::Rect> captureWindowFrame;  // the recorded window's frame; none in display capture
    Out::Message preflight = Out::Message::object();
};

/// Where the recorded window lies in the recorded picture, in whole pixels: the window's frame relative to
/// the recorded area, times the scale; the whole picture in display capture.
Out::Message windowInRecording(const RunOutcome& outcome);

/// The result object with its fourteen keys.
Out::Message runResult(const RunOutcome& outcome);

}  // namespace run
