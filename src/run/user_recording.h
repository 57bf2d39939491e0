#pragma once
// Recording the user: the whole main display when no application is named, and the waiting loop while
// the user acts.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/window_recorder.h"
#include "jobs/job.h"
#include "platform/applications.h"
#include "platform/screen_capture.h"
#include "platform/user_events.h"
#include "run/click_log.h"

namespace run {

/// The identity prefix of the host product's own applications, which a display capture leaves out of
/// the picture.
inline constexpr const char* kHostProductIdentityPrefix = "com.quorrel.";

/// Poll interval of the user-recording loop, in seconds.
inline constexpr double kUserRecordingPollSeconds = 0.05;

/// A recorder of the main display and the display it records.
struct DisplayCapture {
    std::unique_ptr<capture::WindowRecorder> recorder;
    platform::ShareableDisplay display;
};

/// The display a display capture records: the primary one, else the first; throws "no display" when
/// there is none.
platform::ShareableDisplay mainDisplay(const platform::ShareableContent& content);

/// The applications left out of a display capture, in the content's order: the host (`parentPid`), this
/// program (`ownPid`) and every application whose identity starts with the host product's prefix.
std::vector<platform::RunningApplication> leftOutOfDisplay(const platform::ShareableContent& content,
                                                           int32_t parentPid, int32_t ownPid);

/// Sets up the recorder of the main display for a user recording without an application.
DisplayCapture startDisplayCapture(const std::string& out, int64_t fps);

/// The user recording's action phase: the tap (when `accessibility`), the "Recording your actions" line,
/// and the wait until the deadline, the stop file, or the end of `application`. Returns the tap, still on,
/// for the run to turn off after its tail wait. Ends early, too, once `recorder` can no longer write.
std::unique_ptr<platform::PointerTap> recordUserActions(const jobs::Job& job, bool accessibility,
                                                        const std::optional<platform::ApplicationProcess>& application,
                                                        ClickLog& log, const capture::WindowRecorder& recorder);

}  // namespace run
