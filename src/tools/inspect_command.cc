#include "tools/inspect_command.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "base/bridge.h"
#include "base/capture_error.h"
#include "base/out.h"
#include "base/permissions.h"
#include "ax/ax.h"
#include "ax/tree.h"
#include "jobs/job_file.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "target/app_launch.h"
#include "ax/main_window.h"
#include "target/target_window.h"
#include "tools/inspect_values.h"

namespace tools {
namespace {

// The titles of the application's windows in its order; windows without a title string are left out.
std::vector<std::string> windowTitles(const std::optional<AX::Element>& application) {
    std::vector<std::string> titles;
    if (!application) return titles;
    for (const AX::Element& window : AX::windows(*application))
        if (std::optional<std::string> title = AX::string(window, "AXTitle")) titles.push_back(std::move(*title));
    return titles;
}

// The application element of `pid` and its window. A just-launched application may take a moment to expose
// its interface, so its element is looked for within the same 10 seconds as the window.
std::optional<AX::Element> findWindow(int32_t pid, const std::optional<std::string>& title,
                                      std::optional<AX::Element>& application) {
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + kInspectWindowTimeoutSeconds;
    for (;;) {
        if ((application = AX::application(pid)))
            return AX::mainWindow(*application, title, std::max(0.0, deadline - clock.hostSeconds()));
        if (!(clock.hostSeconds() < deadline)) return std::nullopt;
        bridge::pause(AX::kMainWindowPollSeconds);
    }
}

// Returns once a read of the window is answered without the application letting any request go unanswered
// meanwhile, or after kInspectWindowTimeoutSeconds: an application that kept a request waiting while it
// started is refused further requests for a moment, and a walk then would find nothing.
void waitUntilAnswering(const AX::Element& window) {
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + kInspectWindowTimeoutSeconds;
    while (AX::unansweredRequests(window) > 0 && clock.hostSeconds() < deadline) {
        const long before = AX::unansweredRequests(window);
        if (AX::string(window, "AXTitle") && AX::unansweredRequests(window) == before) return;
        bridge::pause(AX::kMainWindowPollSeconds);
    }
}

platform::ApplicationProcess findApplication(const jobs::InspectJob& job) {
    if (job.launch.value_or(true)) return bridge::blocking([&] { return target::launch(job.app); });
    if (std::optional<platform::ApplicationProcess> running = target::runningApp(job.app)) return *running;
    throw CaptureError(job.app + " is not running", "not_found");
}

}  // namespace

Out::Message inspectResult(const jobs::InspectJob& job) {
    const platform::ApplicationProcess process = findApplication(job);
    std::optional<AX::Element> application;
    const std::optional<AX::Element> window = findWindow(process.pid, job.windowTitle, application);
    if (!window) {
        const std::vector<std::string> titles = windowTitles(application);
        if ((!application || AX::windows(*application).empty()) && target::showsWindows(process.pid))
            Out::log(target::noAccessibilityTreeLine(job.app));
        target::reportOnlySplash(application, job.app);
        throw CaptureError(noWindowMessage(job.app, job.windowTitle, titles), "not_found");
    }

    // A program still starting may keep a request waiting while its window comes up; from here on, one that
    // does leaves holes in what the result describes.
    waitUntilAnswering(*window);
    const long unansweredBefore = AX::unansweredRequests(*window);
    const AX::Rect frame = AX::frame(*window).value_or(AX::Rect{});
    const Tree::Dump dump = Tree::dump(*window, frame.origin(), nodeLimit(job.maxNodes), depthLimit(job.maxDepth));
    Out::Message nodes = Out::Message::array();
    for (const Tree::ElementRecord& record : dump.nodes) nodes.push_back(Tree::json(record));

    // The desktop entry's id is the identity `windows` reports; an application without an entry has none.
    const std::string bundleId = process.entryPath ? process.identity.value_or("") : "";
    Out::Message result = {{"type", "result"},
            {"app", process.name.value_or(job.app)},
            {"bundleId", bundleId},
            {"pid", process.pid},
            {"window",
             {{"title", AX::string(*window, "AXTitle").value_or("")},
              {"x", frame.x},
              {"y", frame.y},
              {"width", frame.width},
              {"height", frame.height}}},
            {"windows", windowTitles(application)},
            {"menuBar", Tree::menuBar(*application)},
            {"nodes", nodes},
            {"truncated", dump.truncated}};
    // An application that let a request go unanswered gave a dump with holes (empty titles, no children, no
    // menu bar): that is no description of its window.
    if (AX::unansweredRequests(*window) > unansweredBefore)
        throw CaptureError(stoppedAnsweringMessage(process.name.value_or(job.app), process.pid), "external");
    return result;
}

void runInspect(const std::string& path) {
    const jobs::InspectJob job = jobs::readInspectJob(path);
    Permissions::require(/*needAX=*/true, /*prompt=*/true, /*needScreen=*/false);
    Out::Message result;
    try {
        result = inspectResult(job);
    } catch (const std::exception& error) {
        Out::fail(error);
    }
    Out::emit(result);
}

}  // namespace tools
