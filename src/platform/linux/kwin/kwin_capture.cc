#include "platform/linux/kwin/kwin_capture.h"

#include <map>

#include "base/capture_error.h"
#include "platform/linux/kwin/kwin_applications.h"
#include "platform/linux/kwin/kwin_cast_stream.h"
#include "platform/linux/kwin/kwin_connection.h"
#include "platform/linux/kwin/kwin_windows.h"

namespace platform::linux_desktop {
namespace {

// The outputs, the one at the screen's origin (where KWin puts the first) as the primary.
std::vector<ShareableDisplay> displays() {
    std::vector<ShareableDisplay> found;
    KWinConnection* connection = KWinConnection::shared();
    if (!connection) return found;
    for (const KWinOutput& output : connection->outputs())
        found.push_back({output.globalName, output.logical, output.logical.x == 0 && output.logical.y == 0});
    if (!found.empty() && std::none_of(found.begin(), found.end(), [](const auto& display) { return display.primary; }))
        found.front().primary = true;
    return found;
}

}  // namespace

ShareableContent KWinScreenCapture::shareableContent() {
    ShareableContent content;
    content.displays = displays();
    std::map<int32_t, RunningApplication> byProcess;
    // The windows a person can see, front first; each is its client area: what its screen cast shows.
    for (const KWinWindow& window : kwinDesktop().windows) {
        if (!window.ordinary || window.minimized || window.pid <= 0 || window.clientArea.width <= 0 ||
            window.clientArea.height <= 0)
            continue;
        auto known = byProcess.find(window.pid);
        if (known == byProcess.end()) {
            const ApplicationProcess process = describeWindowProcess(window);
            known = byProcess
                        .emplace(window.pid, RunningApplication{window.pid, process.identity.value_or(""),
                                                                process.name.value_or("")})
                        .first;
            content.applications.push_back(known->second);
        }
        ShareableWindow shareable;
        shareable.windowID = window.windowID;
        shareable.owningApplication = known->second;
        shareable.frame = window.clientArea;
        if (!window.caption.empty()) shareable.title = window.caption;
        content.windows.push_back(std::move(shareable));
    }
    return content;
}

std::unique_ptr<CaptureStream> KWinScreenCapture::makeStream(const ContentFilter& filter,
                                                             const StreamConfiguration& configuration,
                                                             FrameSink sink) {
    CastSource source;
    if (filter.kind == ContentFilter::Kind::display) {
        // KWin records an output whole: no application's windows can be left out.
        KWinConnection* connection = KWinConnection::shared();
        source.kind = CastSource::Kind::output;
        source.output = connection ? connection->outputObject(filter.display.displayID) : nullptr;
        if (!source.output) throw CaptureError("KWin: the display to record is gone", "external");
    } else {
        const auto window = kwinWindowWithID(filter.window.windowID);
        if (!window) throw CaptureError("KWin: the window to record is gone", "external");
        source.windowId = window->internalId;
    }
    return makeKWinCastStream(source, configuration, std::move(sink));
}

}  // namespace platform::linux_desktop
