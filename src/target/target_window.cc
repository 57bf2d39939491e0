#include "target/target_window.h"

#include <algorithm>

#include "base/bridge.h"
#include "base/capture_error.h"
#include "base/diagnostics.h"
#include "ax/ax.h"
#include "capture/window_pickers.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "ax/main_window.h"

namespace target {

TargetWindow findTargetWindow(int32_t pid, const std::optional<std::string>& title, double deadlineHostSeconds) {
    platform::Clock& clock = *platform::services().clock;
    TargetWindow target;
    std::optional<double> shownSince;  // when a window of the process was first seen without an element
    for (;;) {
        if ((target.application = AX::application(pid))) {
            target.window =
                AX::mainWindow(*target.application, title, std::max(0.0, deadlineHostSeconds - clock.hostSeconds()));
            return target;
        }
        const double now = clock.hostSeconds();
        const bool timeUp = !(now < deadlineHostSeconds);
        if (auto shown = bridge::blocking([&] { return capture::windowOfProcess(pid, title); })) {
            if (!shownSince) shownSince = now;
            if (timeUp || now - *shownSince >= kAccessibilityGraceSeconds) {
                target.byProcess = std::move(shown);
                return target;
            }
        }
        if (timeUp) return target;
        bridge::pause(std::min(AX::kMainWindowPollSeconds, deadlineHostSeconds - now));
    }
}

bool showsWindows(int32_t pid) {
    try {
        return bridge::blocking([&] { return capture::windowOfProcess(pid, std::nullopt); }).has_value();
    } catch (const std::exception&) {
        return false;
    }
}

std::string noAccessibilityTreeLine(const std::string& app) {
    return app + ": its windows are on screen, but it exposes no accessibility tree, so none of its elements "
                 "can be found (a toolkit whose accessibility is off, or a program without one)";
}

std::string onlySplashLine(const std::string& app) {
    return app + ": only a splash screen was shown when the time to find its window ran out";
}

void reportOnlySplash(const std::optional<platform::Element>& application, const std::string& app) {
    if (application && AX::showsOnlySplashWindows(*application)) Out::log(onlySplashLine(app));
}

}  // namespace target
