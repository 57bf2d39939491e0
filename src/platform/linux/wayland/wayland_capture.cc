#include "platform/linux/wayland/wayland_capture.h"

#include <map>

#include "base/capture_error.h"
#include "platform/linux/bus/atspi_top_levels.h"
#include "platform/linux/pipewire/pipewire_stream.h"
#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/mutter_monitors.h"
#include "platform/linux/wayland/mutter_remote_session.h"
#include "platform/linux/wayland/wayland_applications.h"

namespace platform::linux_desktop {
namespace {

// What the streams ask of mutter: pointer positions follow the window's corner in the stream, and a stream
// that stops lost the compositor when its screen cast service went with it.
StreamHooks mutterHooks() {
    return {[](int x, int y) { MutterRemoteSession::shared().setPointerOffset(x, y); }, compositorRunning, ""};
}

}  // namespace

ShareableContent WaylandScreenCapture::shareableContent() {
    ShareableContent content;
    content.displays = mutterMonitors();
    std::map<int32_t, RunningApplication> byProcess;
    std::vector<TopLevel> windows = atspiTopLevels();
    // Front first: the window with the focus, then the bus's order.
    std::stable_partition(windows.begin(), windows.end(), [](const TopLevel& window) { return window.active; });
    for (const TopLevel& window : windows) {
        if (window.pid <= 0) continue;
        auto known = byProcess.find(window.pid);
        if (known == byProcess.end()) {
            const ApplicationProcess process = describeProcess(window.pid, window.applicationName);
            known = byProcess
                        .emplace(window.pid, RunningApplication{window.pid, process.identity.value_or(""),
                                                                process.name.value_or("")})
                        .first;
            content.applications.push_back(known->second);
        }
        ShareableWindow shareable;
        shareable.windowID = window.windowID;
        shareable.owningApplication = known->second;
        shareable.frame = {window.visible.x, window.visible.y, window.visible.width,
                           window.visible.height};
        shareable.title = window.title;
        content.windows.push_back(std::move(shareable));
    }
    return content;
}

std::unique_ptr<CaptureStream> WaylandScreenCapture::makeStream(const ContentFilter& filter,
                                                                const StreamConfiguration& configuration,
                                                                FrameSink sink) {
    const CastCursor cursor = configuration.showsCursor ? CastCursor::embedded : CastCursor::hidden;
    if (filter.kind == ContentFilter::Kind::display) {
        // The compositor records its primary monitor whole: no application's windows can be left out.
        const CastStream stream = MutterRemoteSession::shared().monitorStream(cursor);
        return std::make_unique<PipeWireStream>(stream.nodeId, configuration, std::move(sink), mutterHooks());
    }
    // The compositor records the window that has the focus, and no client can give it. A headless compositor
    // tells no client it is focused until an input device exists, so only another window's focus is a fault.
    bool otherFocused = false;
    // The window as its toolkit measures it, and the part of it a person sees.
    WindowArea area{filter.window.frame.width, filter.window.frame.height,
                    {0, 0, filter.window.frame.width, filter.window.frame.height}};
    for (const TopLevel& window : atspiTopLevels()) {
        if (window.active && window.windowID != filter.window.windowID) otherFocused = true;
        if (window.windowID == filter.window.windowID)
            area = {window.width, window.height,
                    {window.visible.x, window.visible.y, window.visible.width,
                     window.visible.height}};
    }
    if (otherFocused)
        throw CaptureError("Wayland: another window has the keyboard focus, and the compositor records only the "
                           "focused window",
                           "external");
    const CastStream stream = MutterRemoteSession::shared().windowStream(cursor);
    return std::make_unique<PipeWireStream>(stream.nodeId, configuration, std::move(sink), mutterHooks(), area);
}

}  // namespace platform::linux_desktop
