#include "run/run_job.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "ax/ax.h"
#include "base/bridge.h"
#include "base/capture_error.h"
#include "base/out.h"
#include "base/permissions.h"
#include "capture/output_file.h"
#include "capture/window_pickers.h"
#include "capture/window_recorder.h"
#include "jobs/job_file.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "run/click_log.h"
#include "run/desktop_loss.h"
#include "run/perform.h"
#include "run/preflight.h"
#include "run/region_capture.h"
#include "run/run_defaults.h"
#include "run/run_result.h"
#include "run/user_recording.h"
#include "run/window_placement.h"
#include "target/app_launch.h"
#include "target/target_window.h"
#include "text/trimming.h"

namespace run {
namespace {

platform::Applications& applications() { return *platform::services().applications; }

// What a run takes from its job before it starts, with the defaults for what the job leaves out.
struct RunSettings {
    std::string app;            // the application string, trimmed; empty for a display recording
    bool recordUser = false;    // the user acts, instead of steps
    bool accessibility = false; // elements can be read and input posted
    int64_t fps = kDefaultFps;
    double settleSeconds = kDefaultSettleSeconds;
    double tailSeconds = kDefaultTailSeconds;
    std::vector<jobs::Step> steps;
};

// The application's window, found, raised and placed as the job asks.
struct OpenedWindow {
    platform::ApplicationProcess process;
    std::optional<platform::Element> application;  // absent when the application exposes no interface
    std::optional<platform::Element> window;       // absent for a window taken by process
    std::optional<jobs::Rect> frame;               // its frame on screen, when known
};

// What is recorded, and how the result names and measures it.
struct Recording {
    std::unique_ptr<capture::WindowRecorder> recorder;
    std::optional<platform::ShareableWindow> captureWindow;  // none in a display recording
    std::optional<platform::ShareableDisplay> display;       // none in a window recording
    jobs::Rect area;                                         // the recorded part, global screen points
    std::string title;
};

// Whether a step looks for an element: a target or a menu.
bool needsElements(const std::vector<jobs::Step>& steps) {
    return std::any_of(steps.begin(), steps.end(),
                       [](const jobs::Step& step) { return targeted(step) || step.action == "menu"; });
}

// The job's settings, once the permissions the run needs are held and the movie's folder exists.
RunSettings settingsOf(const jobs::Job& job) {
    RunSettings settings;
    settings.app = text::withoutSpacesAtEnds(job.app.value_or(""));
    settings.recordUser = job.recordUser.value_or(false);
    Permissions::require(/*needAX=*/!settings.recordUser, /*prompt=*/true, /*needScreen=*/true);
    settings.accessibility = Permissions::accessibility();
    capture::createOutputDirectory(job.out);
    settings.fps = job.fps.value_or(kDefaultFps);
    settings.settleSeconds = secondsFromMs(job.settleMs, kDefaultSettleSeconds);
    settings.tailSeconds = secondsFromMs(job.tailMs, kDefaultTailSeconds);
    settings.steps = job.steps.value_or(std::vector<jobs::Step>{});
    return settings;
}

// Centres the window on the main screen's visible frame at the requested size.
void placeWindow(const platform::Element& window, const jobs::Size& size) {
    const platform::Point origin = placementOrigin(applications().mainScreen(), size.width, size.height);
    AX::setFrame(window, origin, platform::Size{size.width, size.height});
}

// Finds or launches the application, finds its window through its interface (or by process when it has
// none), raises and activates it, places it at the job's size and waits for it to settle.
OpenedWindow openWindow(const jobs::Job& job, const RunSettings& settings) {
    Out::progress("Opening " + settings.app);
    // Launching and finding the window share one time limit.
    const double deadline = platform::services().clock->hostSeconds() + kMainWindowTimeoutSeconds;
    OpenedWindow opened{bridge::blocking([&] { return target::launch(settings.app, deadline); })};
    if (!settings.accessibility) {
        applications().activate(opened.process);
        bridge::pause(settings.settleSeconds);
        return opened;
    }
    const target::TargetWindow found = target::findTargetWindow(opened.process.pid, job.windowTitle, deadline);
    if (!found.found()) {
        target::reportOnlySplash(found.application, settings.app);
        throw CaptureError("no window for " + settings.app, "not_found");
    }
    opened.application = found.application;
    opened.window = found.window;
    if (!opened.window && !settings.recordUser && needsElements(settings.steps))
        Out::log(target::noAccessibilityTreeLine(settings.app));
    if (opened.window) {
        if (platform::Accessibility* backend = AX::backend()) backend->performAction(*opened.window, "AXRaise");
    } else {
        opened.frame = found.byProcess->frame;  // no interface: placed as it is
    }
    applications().activate(opened.process);
    if (job.windowSize) {
        if (opened.window) {
            placeWindow(*opened.window, *job.windowSize);
        } else if (const auto placed = placeWindowByProcess(opened.process, *found.byProcess, *job.windowSize)) {
            opened.frame = *placed;
        }
    }
    bridge::pause(settings.settleSeconds);
    if (const auto frame = opened.window ? AX::frame(*opened.window) : std::nullopt) opened.frame = frame;
    return opened;
}

// A recorder of the capturable window that matches the opened one.
Recording recordWindow(const OpenedWindow& opened, const std::string& out, const RunSettings& settings) {
    Recording recording;
    recording.captureWindow = bridge::blocking([&] { return capture::scWindow(opened.process.pid, opened.frame); });
    recording.recorder = std::make_unique<capture::WindowRecorder>(*recording.captureWindow, out, settings.fps);
    // The recorder reports the recorded part in global screen points: the window's frame moved by the
    // recorded part's offset inside the window.
    recording.area = recording.recorder->contentRect();
    recording.title = recording.captureWindow->title.value_or(settings.app);
    return recording;
}

// A recorder of the main display, for a user recording that names no application.
Recording recordDisplay(const std::string& out, const RunSettings& settings) {
    DisplayCapture displayCapture = startDisplayCapture(out, settings.fps);
    Recording recording;
    recording.recorder = std::move(displayCapture.recorder);
    recording.display = displayCapture.display;
    recording.title = "Display";
    return recording;
}

// Starts the recorder and waits for its first frame. A display's recorded area is known only then.
void startRecording(Recording& recording) {
    bridge::blocking([&] { recording.recorder->start(); });
    if (!recording.recorder->waitForFirstFrame(kFirstFrameTimeoutSeconds))
        throw CaptureError("nothing was drawn to record", "external");
    if (recording.display) {
        const jobs::Rect content = recording.recorder->contentRect();
        recording.area = {recording.display->frame.x, recording.display->frame.y, content.width, content.height};
    }
}

// The steps, one after another, each announced by a progress line; stops early once the movie can no
// longer be written (the recorder's stop says why).
void performSteps(const RunSettings& settings, const OpenedWindow& opened, ClickLog& log,
                  const capture::WindowRecorder& recorder) {
    const std::vector<jobs::Step>& steps = settings.steps;
    for (size_t i = 0; i < steps.size() && !recorder.writerFailed(); ++i) {
        Out::progress("Step " + std::to_string(i + 1) + "/" + std::to_string(steps.size()) + ": " + steps[i].action,
                      {{"step", i}});
        perform(steps[i], i, opened.process.pid, opened.application, opened.window, log);
    }
}

RunOutcome outcomeOf(const std::string& out, const Recording& recording, double durationSeconds,
                     const ClickLog& log, const Out::Message& preflight) {
    RunOutcome outcome;
    outcome.output = out;
    outcome.pixelSize = recording.recorder->pixelSize();
    outcome.scale = recording.recorder->scale();
    outcome.durationSeconds = durationSeconds;
    outcome.frames = recording.recorder->frames();
    outcome.clicks = log.clicks();
    outcome.steps = log.steps();
    outcome.title = recording.title;
    outcome.display = recording.display.has_value();
    outcome.recordedArea = recording.area;
    if (recording.captureWindow) outcome.captureWindowFrame = recording.captureWindow->frame;
    outcome.preflight = preflight;
    return outcome;
}

// A window or display recording, from the job to the result line.
void runCapture(const jobs::Job& job) {
    const RunSettings settings = settingsOf(job);
    std::optional<OpenedWindow> opened;
    Recording recording;
    Out::Message preflight = Out::Message::object();
    if (settings.app.empty()) {
        if (!settings.recordUser) throw CaptureError("app is required for a scripted capture", "bad_request");
        recording = recordDisplay(job.out, settings);
    } else {
        opened = openWindow(job, settings);
        recording = recordWindow(*opened, job.out, settings);
        if (!settings.recordUser) {
            Out::progress("Checking the steps' targets");
            // A window taken by process has no elements: its targets are never found.
            preflight = run::preflight(settings.steps, opened->application, opened->window);
        }
    }

    Out::progress("Recording " + recording.title);
    const FinishMovieOnDesktopLoss finishOnLoss(*recording.recorder);
    startRecording(recording);
    const capture::WindowRecorder* timeBase = recording.recorder.get();
    ClickLog log(recording.area, [timeBase] { return timeBase->startHostSeconds(); });
    bridge::pause(kAfterFirstFrameSeconds);

    std::unique_ptr<platform::PointerTap> tap;
    if (settings.recordUser) {
        const std::optional<platform::ApplicationProcess> process =
            opened ? std::optional(opened->process) : std::nullopt;
        tap = recordUserActions(job, settings.accessibility, process, log, *recording.recorder);
    } else {
        performSteps(settings, *opened, log, *recording.recorder);
    }
    bridge::pause(settings.tailSeconds);
    if (tap) tap->disable();
    const double duration = bridge::blocking([&] { return recording.recorder->stop(); });
    Out::emit(runResult(outcomeOf(job.out, recording, duration, log, preflight)));
}

}  // namespace

void runJob(const std::string& path) {
    const jobs::Job job = jobs::readCaptureJob(path);
    try {
        if (job.region) {
            runRegion(job, *job.region);
        } else {
            runCapture(job);
        }
    } catch (const std::exception& error) {
        Out::fail(error);
    }
}

}  // namespace run
