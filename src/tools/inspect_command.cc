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

    const AX::Rect frame = AX::frame(*window).value_or(AX::Rect{});
    const Tree::Dump dump = Tree::dump(*window, frame.origin(), nodeLimit(job.maxNodes), depthLimit(job.maxDepth));
    Out::Message nodes = Out::Message::array();
    for (const Tree::ElementRecord& record : dump.nodes) nodes.push_back(Tree::json(record));

    // The desktop entry's id is the identity `windows` reports; an application without an entry has none.
    const std::string bundleId = process.entryPath ? process.identity.value_or("") : "";
    return {{"type", "result"},
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
