#include "ax/filled_menu.h"

#include "ax/ax.h"
#include "ax/search.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace AX {
namespace {

constexpr double kFillPollSeconds = 0.05;

}  // namespace

bool holdsNoItems(const platform::Element& opener) {
    // An item that opens nothing (a plain menu item) is no menu waiting to be filled: a title after it is
    // missing, as before.
    const std::vector<platform::Element> kids = AX::children(opener);
    if (kids.empty()) return AX::role(opener) == "AXMenuBarItem";
    return kids.size() == 1 && AX::role(kids.front()) == "AXMenu" && AX::children(kids.front()).empty();
}

std::optional<platform::Element> itemOnceFilled(const platform::Element& opener, const std::string& title,
                                                double timeoutSeconds) {
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + timeoutSeconds;
    // A menu being filled may show its items a few at a time: once it was found empty, it is searched
    // until the title is there or the time is up.
    const bool filledLater = holdsNoItems(opener);
    for (;;) {
        if (auto found = AX::find(opener, "AXMenuItem", title, AX::kMenuSearchBudget)) return found;
        if (!filledLater || !(clock.hostSeconds() < deadline)) return std::nullopt;
        clock.sleep(kFillPollSeconds);
    }
}

}  // namespace AX
