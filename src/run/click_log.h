#pragma once
// Where the pointer acted on the recorded area, and on what, timed against the movie's first frame.

#include <functional>
#include <optional>
#include <string>

#include "base/json_line.h"
#include "jobs/job.h"

namespace run {

/// The clicks of one run. Shared by reference between the run, step execution and the user-action tap;
/// used on the main thread only.
class ClickLog {
public:
    /// Host-clock seconds of the recording's first frame, absent until that frame has arrived (the
    /// recorder's `startHostSeconds`).
    using TimeBase = std::function<std::optional<double>()>;

    /// A log for the recorded area `rect` (global screen points) timed by `firstFrameHostSeconds`.
    ClickLog(jobs::Rect rect, TimeBase firstFrameHostSeconds);

    /// Seconds since the first recorded frame on the host clock; 0 before that frame, never negative.
    double now() const;

    /// The same for the host-clock moment `hostSeconds`.
    double at(double hostSeconds) const;

    /// Appends a click entry at the screen point (`x`, `y`), as fractions of the area from its top left,
    /// with "t" rounded to the millisecond, taken at `atHostSeconds` when given (a press the desktop dated)
    /// and now otherwise; "role" and "label" only when given. Points are not filtered.
    void log(double x, double y, const std::optional<std::string>& role, const std::optional<std::string>& label,
             std::optional<double> atHostSeconds = std::nullopt);

    /// Appends a step entry (a click step naming what was hit), as the user-action tap writes them.
    void logStep(const std::optional<std::string>& role, const std::optional<std::string>& label);

    /// Whether the screen point lies in the recorded area (left and top edges in, right and bottom out).
    bool contains(double x, double y) const;

    const jobs::Rect& rect() const { return rect_; }
    const Out::Message& clicks() const { return clicks_; }
    const Out::Message& steps() const { return steps_; }

private:
    jobs::Rect rect_;
    TimeBase firstFrameHostSeconds_;
    Out::Message clicks_ = Out::Message::array();
    Out::Message steps_ = Out::Message::array();
};

}  // namespace run
