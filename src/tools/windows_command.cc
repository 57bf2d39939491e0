#include "tools/windows_command.h"

#include <exception>

#include "base/out.h"
#include "platform/screen_capture.h"
#include "platform/services.h"

namespace tools {
namespace {

Out::Message entryOf(const platform::ShareableWindow& window) {
    const auto& application = *window.owningApplication;
    return {
        {"title", window.title.value_or("")},
        {"app", application.applicationName},
        {"bundleId", application.bundleIdentifier},
        {"pid", application.processID},
        {"frame",
         {{"x", window.frame.x}, {"y", window.frame.y}, {"width", window.frame.width},
          {"height", window.frame.height}}},
    };
}

}  // namespace

void listWindows(const std::optional<std::string>& app) {
    auto& service = platform::services().capture;
    if (service == nullptr) Out::fail("screen capture is not available in this build", "external");
    platform::ShareableContent content;
    try {
        content = service->shareableContent();
    } catch (const std::exception& error) {
        Out::fail(error.what(), "external");
    }

    auto windows = Out::Message::array();
    for (const auto& window : content.windows) {
        if (window.windowLayer != 0 || !window.owningApplication) continue;
        const auto& application = *window.owningApplication;
        if (app && application.bundleIdentifier != *app && application.applicationName != *app) continue;
        windows.push_back(entryOf(window));
    }
    Out::emit({{"type", "result"}, {"windows", windows}});
}

}  // namespace tools
