#pragma once
// The fixture application as the accessibility layer sees it: its application and main window, and where its
// widgets are in platform terms.

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "support/fixture_process.h"

namespace e2e {

/// The fixture's accessible application and main window, waiting (up to 20 s) for both to appear.
struct FixtureElements {
    platform::Element app;
    platform::Element window;
};
std::optional<FixtureElements> fixtureElements(pid_t pid, const std::string& title = "Quorrel Fixture");

/// The rectangle of widget `name` in the fixture's latest geometry line (empty when it has none).
platform::Rect widgetFrame(support::FixtureProcess& fixture, const std::string& name);

/// The center of a rectangle.
platform::Point center(const platform::Rect& rect);

}  // namespace e2e
