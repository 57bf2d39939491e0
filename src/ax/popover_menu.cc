#include "ax/popover_menu.h"

#include <algorithm>
#include <deque>

#include "ax/ax.h"
#include "ax/search.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace AX {
namespace {

constexpr double kPopoverPollSeconds = 0.05;

bool isMenuButton(const platform::Element& element) {
    for (const std::string& role : kMenuButtonRoles)
        if (AX::matchesRole(element, role)) return true;
    return false;
}

// The first label of every element under `root` (itself left out) that `wanted` accepts, breadth first
// through at most kMenuSearchBudget elements, each label once.
template <typename Wanted>
std::vector<std::string> titlesUnder(const platform::Element& root, Wanted wanted) {
    std::vector<std::string> titles;
    std::deque<platform::Element> queue{root};
    for (long examined = 0; !queue.empty() && examined < AX::kMenuSearchBudget; ++examined) {
        const platform::Element element = std::move(queue.front());
        queue.pop_front();
        if (examined > 0 && wanted(element)) {
            const std::vector<std::string> labels = AX::labels(element);
            if (!labels.empty() && std::find(titles.begin(), titles.end(), labels.front()) == titles.end())
                titles.push_back(labels.front());
        }
        for (platform::Element& child : AX::children(element)) queue.push_back(std::move(child));
    }
    return titles;
}

// Items of a pop-over the application shows apart from its button: menu items, and the buttons and check
// boxes some toolkits draw them as.
const std::vector<std::string> kShownPopoverItemRoles{"AXMenuItem", "AXButton", "AXCheckBox", "AXRadioButton"};

bool isShownPopoverItem(const platform::Element& element) {
    for (const std::string& role : kShownPopoverItemRoles)
        if (AX::matchesRole(element, role)) return true;
    return false;
}

// Where the pop-over `button` opened is searched: the pop-over the application names for the button when it
// shows one apart from it (elsewhere in the window), else the button, under which the pop-over shows.
std::optional<platform::Element> shownPopover(const platform::Element& button) {
    return AX::attr<platform::Element>(button, "AXPopover");
}

}  // namespace

std::optional<platform::Element> menuButton(const platform::Element& window, const std::string& title) {
    return AX::findAnyRole(window, kMenuButtonRoles, title, AX::kMenuSearchBudget);
}

std::vector<std::string> menuButtonTitles(const platform::Element& window) {
    return titlesUnder(window, isMenuButton);
}

std::vector<std::string> popoverTitles(const platform::Element& button) {
    if (const auto popover = shownPopover(button)) return titlesUnder(*popover, isShownPopoverItem);
    return titlesUnder(button, [](const platform::Element& element) { return AX::matchesRole(element, "AXMenuItem"); });
}

std::optional<platform::Element> popoverItem(const platform::Element& button, const std::string& title) {
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + kPopoverOpensWithinSeconds;
    for (;;) {
        // The whole pop-over is searched: a submenu slides in as another page of it, not under its item.
        if (const auto popover = shownPopover(button)) {
            if (auto found = AX::findAnyRole(*popover, kShownPopoverItemRoles, title, AX::kMenuSearchBudget))
                return found;
        } else if (auto found = AX::find(button, "AXMenuItem", title, AX::kMenuSearchBudget)) {
            return found;
        }
        if (!(clock.hostSeconds() < deadline)) return std::nullopt;
        clock.sleep(kPopoverPollSeconds);
    }
}

}  // namespace AX
