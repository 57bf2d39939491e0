#include "ax/main_window.h"

#include <algorithm>

#include "base/bridge.h"
#include "ax/ax.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "text/unicode.h"

namespace AX {
namespace {

// The window is no splash screen.
bool workedIn(const platform::Element& window) { return !isSplashWindow(window); }

std::optional<platform::Element> lookOnce(const platform::Element& app, const std::optional<std::string>& wanted) {
    std::vector<platform::Element> kept = AX::windows(app);
    std::erase_if(kept, [](const platform::Element& window) {
        return AX::string(window, "AXSubrole") == "AXSystemDialog" || !workedIn(window);
    });
    if (wanted) {
        for (const platform::Element& window : kept) {
            const std::string title = text::lowercased(AX::string(window, "AXTitle").value_or(""));
            if (text::containsCanonically(title, *wanted)) return window;
        }
        return std::nullopt;
    }
    if (std::optional<platform::Element> main = AX::attr<platform::Element>(app, "AXMainWindow"); main && workedIn(*main))
        return main;
    if (!kept.empty()) return kept.front();
    return std::nullopt;
}

}  // namespace

bool isSplashWindow(const platform::Element& window) {
    platform::Accessibility* accessibility = AX::backend();
    return accessibility != nullptr && accessibility->isSplashWindow(window);
}

bool showsOnlySplashWindows(const platform::Element& app) {
    const std::vector<platform::Element> windows = AX::windows(app);
    return !windows.empty() && std::all_of(windows.begin(), windows.end(), isSplashWindow);
}

std::optional<platform::Element> mainWindow(const platform::Element& app, const std::optional<std::string>& title,
                                            double timeoutSeconds) {
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + timeoutSeconds;
    const std::optional<std::string> wanted = title ? std::optional(text::lowercased(*title)) : std::nullopt;
    for (;;) {
        if (std::optional<platform::Element> found = lookOnce(app, wanted)) return found;
        bridge::pause(kMainWindowPollSeconds);
        if (!(clock.hostSeconds() < deadline)) return std::nullopt;
    }
}

}  // namespace AX
