#include "run/run_job.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "app/bridge.h"
#include "base/capture_error.h"
#include "app/out.h"
#include "app/permissions.h"
#include "ax/ax.h"
#include "capture/window_pickers.h"
#include "capture/window_recorder.h"
#include "jobs/job_file.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "run/app_launch.h"
#include "run/click_log.h"
#include "run/desktop_loss.h"
#include "run/job_values.h"
#include "run/main_window.h"
#include "run/region_capture.h"
#include "run/run_result.h"
#include "run/perform.h"
#include "run/preflight.h"
#include "run/target_window.h"
#include "run/user_recording.h"
#include "run/window_placement.h"

namespace run {
namespace {

platform::Applications& applications() { return *platform::services().applications; }

jobs::Rect toRect(const platform::CaptureRect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }

// Whether a step looks for an element: a target or a menu.
bool needsElements(const std::vector<jobs::Step>& steps) {
    return std::any_of(steps.begin(), steps.end(),
                       [](const jobs::Step& step) { return targeted(step) || step.action == "menu"; });
}

// Centres the window on the main screen's visible frame at the requested size.
void placeWindow(const platform::Element& window, const jobs::Size& size) {
    const platform::Point origin = placementOrigin(applications().mainScreen(), size.width, size.height);
    AX::setFrame(window, origin, platform::Size{size.width, size.height});
}

// A window or display recording, from the job to the result line.
void runCapture(const jobs::Job& job) {
    const std::string app = applicationString(job.app);
    const bool recordUser = job.recordUser.value_or(false);
    Permissions::require(/*needAX=*/!recordUser, /*prompt=*/true, /*needScreen=*/true);
    const bool accessibility = Permissions::accessibility();
    createOutputDirectory(job.out);
    const int64_t fps = job.fps.value_or(kDefaultFps);
    const double settleSeconds = secondsFromMs(job.settleMs, kDefaultSettleSeconds);
    const double tailSeconds = secondsFromMs(job.tailMs, kDefaultTailSeconds);

    std::optional<platform::ApplicationProcess> process;
    std::optional<platform::Element> axApp;
    std::optional<platform::Element> window;
    std::optional<platform::ShareableWindow> captureWindow;
    std::optional<platform::ShareableDisplay> display;
    std::unique_ptr<capture::WindowRecorder> recorder;
    jobs::Rect area;
    std::string title;
    Out::Message preflight = Out::Message::object();

    if (app.empty()) {
        if (!recordUser) throw CaptureError("app is required for a scripted capture", "bad_request");
        DisplayCapture displayCapture = startDisplayCapture(job.out, fps);
        recorder = std::move(displayCapture.recorder);
        display = displayCapture.display;
        title = "Display";
    } else {
        Out::progress("Opening " + app);
        // Launching and finding the window share one time limit.
        const double windowDeadline = platform::services().clock->hostSeconds() + kMainWindowTimeoutSeconds;
        process = bridge::blocking([&] { return launch(app, windowDeadline); });
        const int32_t pid = process->pid;
        std::optional<jobs::Rect> windowFrame;
        if (accessibility) {
            const TargetWindow target = findTargetWindow(pid, job.windowTitle, windowDeadline);
            if (!target.found()) throw CaptureError("no window for " + app, "not_found");
            axApp = target.application;
            window = target.window;
            if (!window && !recordUser && needsElements(job.steps.value_or(std::vector<jobs::Step>{})))
                Out::log(noAccessibilityTreeLine(app));
            if (window) {
                if (platform::Accessibility* backend = AX::backend()) backend->performAction(*window, "AXRaise");
            } else {
                windowFrame = toRect(target.byProcess->frame);  // no interface: placed as it is
            }
            applications().activate(*process);
            if (window && job.windowSize) placeWindow(*window, *job.windowSize);
            if (!window && job.windowSize)
                if (const auto placed = placeWindowByProcess(*process, *target.byProcess, *job.windowSize))
                    windowFrame = toRect(*placed);
            bridge::pause(settleSeconds);
            if (const auto frame = window ? AX::frame(*window) : std::nullopt)
                windowFrame = jobs::Rect{frame->origin.x, frame->origin.y, frame->size.width, frame->size.height};
        } else {
            applications().activate(*process);
            bridge::pause(settleSeconds);
        }
        captureWindow = bridge::blocking([&] { return capture::scWindow(pid, windowFrame); });
        recorder = std::make_unique<capture::WindowRecorder>(*captureWindow, job.out, fps);
        // The recorder reports the recorded part in global screen points: the window's frame moved by the
        // recorded part's offset inside the window.
        area = recorder->contentRect();
        title = captureWindow->title.value_or(app);
        if (!recordUser) {
            Out::progress("Checking the steps' targets");
            const std::vector<jobs::Step> steps = job.steps.value_or(std::vector<jobs::Step>{});
            // A window taken by process has no elements: its targets are never found.
            preflight = run::preflight(steps, axApp, window);
        }
    }

    Out::progress("Recording " + title);
    const FinishMovieOnDesktopLoss finishOnLoss(*recorder);
    bridge::blocking([&] { recorder->start(); });
    if (!recorder->waitForFirstFrame(kFirstFrameTimeoutSeconds))
        throw CaptureError("nothing was drawn to record", "external");
    if (display) {
        const jobs::Rect content = recorder->contentRect();
        area = {display->frame.x, display->frame.y, content.width, content.height};
    }
    capture::WindowRecorder* timeBase = recorder.get();
    ClickLog log(area, [timeBase] { return timeBase->startHostSeconds(); });
    bridge::pause(kAfterFirstFrameSeconds);

    std::unique_ptr<platform::PointerTap> tap;
    if (recordUser) {
        tap = recordUserActions(job, accessibility, process, log, *recorder);
    } else {
        const std::vector<jobs::Step> steps = job.steps.value_or(std::vector<jobs::Step>{});
        for (size_t i = 0; i < steps.size() && !recorder->writerFailed(); ++i) {  // the stop says why
            Out::progress("Step " + std::to_string(i + 1) + "/" + std::to_string(steps.size()) + ": " +
                              steps[i].action,
                          {{"step", i}});
            perform(steps[i], i, process->pid, axApp, window, log);
        }
    }
    bridge::pause(tailSeconds);
    if (tap) tap->disable();
    const double duration = bridge::blocking([&] { return recorder->stop(); });

    RunOutcome outcome;
    outcome.output = job.out;
    outcome.pixelSize = recorder->pixelSize();
    outcome.scale = recorder->scale();
    outcome.durationSeconds = duration;
    outcome.frames = recorder->frames();
    outcome.clicks = log.clicks();
    outcome.steps = log.steps();
    outcome.title = title;
    outcome.display = app.empty();
    outcome.recordedArea = area;
    if (captureWindow) outcome.captureWindowFrame = toRect(captureWindow->frame);
    outcome.preflight = preflight;
    Out::emit(runResult(outcome));
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
