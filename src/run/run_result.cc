#include "run/run_result.h"

#include <cstdint>

#include "text/rounding.h"

namespace run {
namespace {

int64_t rounded(double value) { return static_cast<int64_t>(text::roundHalfAwayFromZero(value)); }

}  // namespace

Out::Message windowInRecording(const RunOutcome& outcome) {
    if (outcome.display || !outcome.captureWindowFrame) {
        return {{"x", 0},
                {"y", 0},
                {"width", static_cast<int64_t>(outcome.pixelSize.width)},
                {"height", static_cast<int64_t>(outcome.pixelSize.height)}};
    }
    const jobs::Rect& frame = *outcome.captureWindowFrame;
    const jobs::Rect& area = outcome.recordedArea;
    const double k = outcome.scale;
    return {{"x", rounded(k * (frame.x - area.x))},
            {"y", rounded(k * (frame.y - area.y))},
            {"width", rounded(k * frame.width)},
            {"height", rounded(k * frame.height)}};
}

Out::Message runResult(const RunOutcome& outcome) {
    const jobs::Rect& area = outcome.recordedArea;
    return {
        {"type", "result"},
        {"output", outcome.output},
        {"width", static_cast<int64_t>(outcome.pixelSize.width)},
        {"height", static_cast<int64_t>(outcome.pixelSize.height)},
        {"scale", outcome.scale},
        {"durationSec", text::roundHalfAwayFromZero(outcome.durationSeconds * 1000) / 1000},
        {"frames", outcome.frames},
        {"clicks", outcome.clicks},
        {"steps", outcome.steps},
        {"windowTitle", outcome.title},
        {"display", outcome.display},
        {"window", {{"x", area.x}, {"y", area.y}, {"width", area.width}, {"height", area.height}}},
        {"windowInRecording", windowInRecording(outcome)},
        {"preflight", outcome.preflight},
    };
}

}  // namespace run
