#include "run/user_recording.h"

#include <unistd.h>

#include "base/bridge.h"
#include "base/capture_error.h"
#include "base/out.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "run/run_defaults.h"
#include "run/signal_files.h"
#include "run/user_tap.h"

namespace run {

platform::ShareableDisplay mainDisplay(const platform::ShareableContent& content) {
    for (const auto& display : content.displays)
        if (display.primary) return display;
    if (content.displays.empty()) throw CaptureError("no display", "external");
    return content.displays.front();
}

std::vector<platform::RunningApplication> leftOutOfDisplay(const platform::ShareableContent& content,
                                                           int32_t parentPid, int32_t ownPid) {
    std::vector<platform::RunningApplication> leftOut;
    for (const auto& application : content.applications) {
        if (application.processID == parentPid || application.processID == ownPid ||
            application.bundleIdentifier.starts_with(kHostProductIdentityPrefix))
            leftOut.push_back(application);
    }
    return leftOut;
}

DisplayCapture startDisplayCapture(const std::string& out, int64_t fps) {
    const platform::ShareableContent content =
        bridge::blocking([] { return platform::services().capture->shareableContent(); });
    DisplayCapture capture;
    capture.display = mainDisplay(content);
    const auto leftOut =
        leftOutOfDisplay(content, static_cast<int32_t>(getppid()), static_cast<int32_t>(getpid()));
    capture.recorder = std::make_unique<capture::WindowRecorder>(capture.display, leftOut, out, fps);
    return capture;
}

std::unique_ptr<platform::PointerTap> recordUserActions(const jobs::Job& job, bool accessibility,
                                                        const std::optional<platform::ApplicationProcess>& application,
                                                        ClickLog& log, const capture::WindowRecorder& recorder) {
    std::unique_ptr<platform::PointerTap> tap;
    if (accessibility) tap = startUserTap(log);
    const double length = job.durationSec.value_or(kDefaultRecordingSeconds);
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + length;
    Out::progress("Recording your actions", {{"until", length}});
    while (clock.hostSeconds() < deadline) {
        if (job.stopFile && fileExists(*job.stopFile)) break;
        if (application && platform::services().applications->isTerminated(application->pid)) break;
        if (recorder.writerFailed()) break;  // the stop reports why
        bridge::pause(kUserRecordingPollSeconds);
    }
    return tap;
}

}  // namespace run
