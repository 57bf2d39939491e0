#include "platform/linux/wayland/wayland_capture.h"

#include <algorithm>
#include <map>

#include "base/capture_error.h"
#include "platform/linux/pipewire/pipewire_stream.h"
#include "platform/linux/wayland/application_top_levels.h"
#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/mutter_monitors.h"
#include "platform/linux/wayland/mutter_remote_session.h"
#include "platform/linux/wayland/shell_extension.h"
#include "platform/linux/wayland/wayland_applications.h"

namespace platform::linux_desktop {
namespace {

// What the streams ask of mutter: pointer positions follow the window's corner in the stream, and a stream
// that stops lost the compositor when its screen cast service went with it.
StreamHooks mutterHooks() {
    return {[](int x, int y) { MutterRemoteSession::shared().setPointerOffset(x, y); }, compositorRunning, ""};
}

// The application of each process, described once per listing.
class ProcessNames {
public:
    explicit ProcessNames(ShareableContent& content) : content_(content) {}

    const RunningApplication& of(int32_t pid, const std::string& programName, const std::string& entryId = "") {
        auto known = byProcess_.find(pid);
        if (known == byProcess_.end()) {
            const ApplicationProcess process = describeProcess(pid, programName, entryId);
            known = byProcess_
                        .emplace(pid, RunningApplication{pid, process.identity.value_or(""), process.name.value_or("")})
                        .first;
            content_.applications.push_back(known->second);
        }
        return known->second;
    }

private:
    ShareableContent& content_;
    std::map<int32_t, RunningApplication> byProcess_;
};

// The shell's windows, front first, each with its frame in screen coordinates. A minimized window is not on
// screen.
void addShellWindows(ShareableContent& content) {
    ProcessNames names(content);
    for (const ShellWindow& window : shellWindows()) {
        if (window.minimized) continue;
        ShareableWindow shareable;
        shareable.windowID = window.id;
        if (window.pid > 0) shareable.owningApplication = names.of(window.pid, window.wmClass, window.appId);
        shareable.frame = window.frame;
        shareable.title = window.title;
        content.windows.push_back(std::move(shareable));
    }
}

// The accessibility bus's top-level windows, each at the origin of its own coordinates; the one with the focus
// first, then the bus's order.
void addAccessibleWindows(ShareableContent& content) {
    ProcessNames names(content);
    std::vector<TopLevel> windows = applicationTopLevels();
    std::stable_partition(windows.begin(), windows.end(), [](const TopLevel& window) { return window.active; });
    for (const TopLevel& window : windows) {
        if (window.pid <= 0) continue;
        ShareableWindow shareable;
        shareable.windowID = window.windowID;
        shareable.owningApplication = names.of(window.pid, window.applicationName);
        shareable.frame = window.visible;
        shareable.title = window.title;
        content.windows.push_back(std::move(shareable));
    }
}

// A stream of the shell's window `windowID`, whatever has the focus. The stream holds the window's surface
// (its buffer frame, shadows included), of which the frame a person sees is recorded.
std::unique_ptr<CaptureStream> shellWindowStream(const ContentFilter& filter, const StreamConfiguration& configuration,
                                                 FrameSink sink, CastCursor cursor) {
    const std::vector<ShellWindow> windows = shellWindows();
    const auto window = std::find_if(windows.begin(), windows.end(),
                                     [&](const ShellWindow& candidate) { return candidate.id == filter.window.windowID; });
    if (window == windows.end()) throw CaptureError("Wayland: the window to record is gone", "external");
    const Rect& buffer = window->bufferFrame;
    const WindowArea area{buffer.width, buffer.height,
                          {window->frame.x - buffer.x, window->frame.y - buffer.y, window->frame.width,
                           window->frame.height}};
    const CastStream stream = MutterRemoteSession::shared().windowStreamOf(window->id, cursor);
    // The pointer moves in screen coordinates here, not in the window's: no offset to follow.
    const StreamHooks hooks{{}, compositorRunning, ""};
    return std::make_unique<PipeWireStream>(stream.nodeId, configuration, std::move(sink), hooks, area);
}

}  // namespace

ShareableContent WaylandScreenCapture::shareableContent() {
    ShareableContent content;
    content.displays = mutterMonitors();
    if (shellExtensionPresent())
        addShellWindows(content);
    else
        addAccessibleWindows(content);
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
    if (shellExtensionPresent()) return shellWindowStream(filter, configuration, std::move(sink), cursor);
    // Without the extension the compositor records the window that has the focus, and no client can give it. A
    // headless compositor tells no client it is focused until an input device exists, so only another window's
    // focus is a fault.
    bool otherFocused = false;
    // The window as its toolkit measures it, and the part of it a person sees.
    WindowArea area{filter.window.frame.width, filter.window.frame.height,
                    {0, 0, filter.window.frame.width, filter.window.frame.height}};
    for (const TopLevel& window : applicationTopLevels()) {
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
