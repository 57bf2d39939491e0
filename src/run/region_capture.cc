#include "run/region_capture.h"

#include <unistd.h>

#include <cstdio>

#include "base/bridge.h"
#include "base/capture_error.h"
#include "base/out.h"
#include "base/permissions.h"
#include "capture/output_file.h"
#include "capture/window_pickers.h"
#include "capture/window_recorder.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "run/desktop_loss.h"
#include "run/run_defaults.h"
#include "run/signal_files.h"
#include "text/rounding.h"

namespace run {

double epochMilliseconds(double epochSeconds) { return text::roundHalfAwayFromZero(epochSeconds * 1000); }

std::string startedFileText(double milliseconds) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.0f", milliseconds);
    return digits;
}

void runRegion(const jobs::Job& job, const jobs::Region& region) {
    Permissions::require(/*needAX=*/false, /*prompt=*/true, /*needScreen=*/true);
    capture::createOutputDirectory(job.out);
    if (job.startedFile) requireWritableStartedFile(*job.startedFile);
    const int32_t pid = region.pid.value_or(static_cast<int32_t>(getppid()));
    const platform::ShareableWindow window =
        bridge::blocking([&] { return capture::regionWindow(pid, region.windowFrame); });
    capture::WindowRecorder recorder(window, region.rect, job.out, job.fps.value_or(kDefaultFps));
    const FinishMovieOnDesktopLoss finishOnLoss(recorder);
    bridge::blocking([&] { recorder.start(); });
    if (!recorder.waitForFirstFrame(kFirstFrameTimeoutSeconds))
        throw CaptureError("nothing was drawn to record (is the window visible?)", "external");

    platform::Clock& clock = *platform::services().clock;
    const double firstFrameMs = epochMilliseconds(recorder.firstFrameEpoch().value_or(clock.epochSeconds()));
    if (job.startedFile) {
        writeStartedFile(*job.startedFile, startedFileText(firstFrameMs));
    }
    Out::progress("Recording", {{"started", true}, {"firstFrameEpochMs", firstFrameMs}});

    const double deadline = clock.hostSeconds() + job.durationSec.value_or(kDefaultRecordingSeconds);
    while (clock.hostSeconds() < deadline) {
        if (job.stopFile && fileExists(*job.stopFile)) break;
        if (recorder.writerFailed()) break;  // stop reports why
        bridge::pause(kRegionPollSeconds);
    }

    const double duration = bridge::blocking([&] { return recorder.stop(); });
    const platform::PixelSize pixels = recorder.pixelSize();
    Out::emit({
        {"type", "result"},
        {"output", job.out},
        {"width", static_cast<int64_t>(pixels.width)},
        {"height", static_cast<int64_t>(pixels.height)},
        {"scale", recorder.scale()},
        {"durationSec", text::roundHalfAwayFromZero(duration * 1000) / 1000},
        {"frames", recorder.frames()},
        {"firstFrameEpochMs", firstFrameMs},
        {"window",
         {{"title", window.title.value_or("")},
          {"x", window.frame.x},
          {"y", window.frame.y},
          {"width", window.frame.width},
          {"height", window.frame.height}}},
    });
}

}  // namespace run
