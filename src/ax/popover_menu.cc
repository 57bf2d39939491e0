#include "ax/popover_menu.h"

#include "ax/search.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace AX {
namespace {

constexpr double kPopoverPollSeconds = 0.05;

}  // namespace

std::optional<platform::Element> menuButton(const platform::Element& window, const std::string& title) {
    return AX::find(window, "AXButton", title, AX::kMenuSearchBudget);
}

std::optional<platform::Element> popoverItem(const platform::Element& button, const std::string& title) {
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + kPopoverOpensWithinSeconds;
    for (;;) {
        // The whole pop-over is searched: a submenu slides in as another page of it, not under its item.
        if (auto found = AX::find(button, "AXMenuItem", title, AX::kMenuSearchBudget)) return found;
        if (!(clock.hostSeconds() < deadline)) return std::nullopt;
        clock.sleep(kPopoverPollSeconds);
    }
}

}  // namespace AX
