#include "fixture_elements.h"

#include <time.h>

#include "ax/ax.h"

namespace e2e {

std::optional<FixtureElements> fixtureElements(pid_t pid, const std::string& title) {
    platform::Accessibility* ax = AX::backend();
    if (!ax) return std::nullopt;
    const double deadline = support::nowSeconds() + 20;
    while (support::nowSeconds() < deadline) {
        if (auto app = ax->application(pid)) {
            for (const platform::Element& window : AX::windows(*app))
                if (AX::string(window, "AXTitle") == title) return FixtureElements{*app, window};
        }
        timespec pause{0, 100'000'000};
        nanosleep(&pause, nullptr);
    }
    return std::nullopt;
}

platform::Rect widgetFrame(support::FixtureProcess& fixture, const std::string& name) {
    const nlohmann::json rect = fixture.widget(name);
    if (!rect.is_object()) return {};
    return {rect.value("x", 0.0), rect.value("y", 0.0), rect.value("width", 0.0), rect.value("height", 0.0)};
}

platform::Point center(const platform::Rect& rect) {
    return {rect.x + rect.width / 2, rect.y + rect.height / 2};
}

}  // namespace e2e
