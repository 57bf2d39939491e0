#include "run/preflight.h"

#include <optional>

#include "base/capture_error.h"
#include "ax/search.h"
#include "ax/suggest.h"
#include "ax/filled_menu.h"
#include "run/perform.h"
#include "ax/popover_menu.h"
#include "text/joined.h"

namespace run {
namespace {

// What the preflight made of a menu step: not checked, every title found, or found up to the title at
// `firstLater`, whose menu holds its items only once it is open.
struct MenuCheck {
    enum Outcome { notChecked, found, opensLater } outcome;
    size_t firstLater = 0;
};

CaptureError menuTitleMissing(size_t index, const std::vector<std::string>& path, size_t t, const std::string& closest,
                              const std::string& noPrefix = kEmptyMenuPrefix) {
    const std::string prefix = text::joined({path.begin(), path.begin() + static_cast<long>(t)}, kMenuPathSeparator);
    return CaptureError("step " + std::to_string(index + 1) + " (menu): no menu item \"" + path[t] + "\" at " +
                            ifEmpty(prefix, noPrefix) + "; closest: " + closest,
                        "not_found");
}

// Whether every title of the step's menu path is in the menu bar; throws when one is not. Steps without a
// path are not checked, nor applications without an interface. A first title that is no menu-bar title may
// name a button of the window that opens a pop-over: its items are there only once it is open, so the rest
// of the path waits for the run. So does the rest of a path whose menu the application fills only as it
// opens (it holds no items yet).
MenuCheck menuPathFound(const jobs::Step& step, size_t index, const std::optional<platform::Element>& axApp,
                        const std::optional<platform::Element>& window) {
    if (!step.path || step.path->empty()) return {MenuCheck::notChecked};
    const std::vector<std::string>& path = *step.path;
    const auto bar = axApp ? AX::attr<platform::Element>(*axApp, "AXMenuBar") : std::nullopt;
    if (!bar && !window) return {MenuCheck::notChecked};
    if (!bar || !AX::find(*bar, "AXMenuBarItem", path.front(), AX::kMenuSearchBudget)) {
        if (!window || !AX::menuButton(*window, path.front()))
            throw bar ? menuTitleMissing(index, path, 0, Suggest::menuTitles(*bar, path.front()))
                      : menuTitleMissing(index, path, 0,
                                         Suggest::shownMenuTitles(AX::menuButtonTitles(*window), path.front()),
                                         kNoMenuBarPrefix);
        if (path.size() == 1) return {MenuCheck::found};
        return {MenuCheck::opensLater, 1};
    }
    std::optional<platform::Element> previous;
    for (size_t t = 0; t < path.size(); ++t) {
        const auto found = previous ? AX::find(*previous, "AXMenuItem", path[t], AX::kMenuSearchBudget)
                                    : AX::find(*bar, "AXMenuBarItem", path[t], AX::kMenuSearchBudget);
        if (found) {
            previous = found;
            continue;
        }
        if (previous && AX::holdsNoItems(*previous)) return {MenuCheck::opensLater, t};
        platform::Element listed = *bar;
        if (previous) {
            const std::vector<platform::Element> opened = AX::children(*previous);
            listed = opened.empty() ? *previous : opened.front();
        }
        throw menuTitleMissing(index, path, t, Suggest::menuTitles(listed, path[t]));
    }
    return {MenuCheck::found};
}

// The target in the window, else in the first of the application's windows that has it.
bool targetFound(const jobs::Step& step, const std::optional<platform::Element>& axApp,
                 const std::optional<platform::Element>& window) {
    if (window && AX::find(*window, step.role, step.label)) return true;
    if (!axApp) return false;
    for (const platform::Element& each : AX::windows(*axApp))
        if (AX::find(each, step.role, step.label)) return true;
    return false;
}

}  // namespace

std::string ifEmpty(const std::string& text, const std::string& replacement) {
    return text.empty() ? replacement : text;
}

Out::Message preflight(const std::vector<jobs::Step>& steps, const std::optional<platform::Element>& axApp,
                       const std::optional<platform::Element>& window) {
    Out::Message checked = Out::Message::array();
    Out::Message deferred = Out::Message::array();
    bool mayHaveChanged = false;
    for (size_t i = 0; i < steps.size(); ++i) {
        const jobs::Step& step = steps[i];
        const int number = static_cast<int>(i + 1);
        if (step.action == "menu") {
            const MenuCheck menu = menuPathFound(step, i, axApp, window);
            if (menu.outcome == MenuCheck::found) checked.push_back(number);
            // The first item of the menu that opens later is what the run waits for; nothing of that menu is
            // there to suggest now.
            if (menu.outcome == MenuCheck::opensLater)
                deferred.push_back({{"step", number},
                                    {"role", "AXMenuItem"},
                                    {"label", (*step.path)[menu.firstLater]},
                                    {"closestNow", Out::Message::array()}});
        } else if (targeted(step)) {
            if (targetFound(step, axApp, window)) {
                checked.push_back(number);
            } else {
                const auto suggestions = window ? Suggest::closest(step.role, step.label, {*window}, kTargetSuggestions)
                                                : std::vector<std::string>{};
                if (!mayHaveChanged)
                    throw CaptureError("step " + std::to_string(number) + " (" + step.action + "): no element with " +
                                           targetWords(step.role, step.label) +
                                           " in the window before recording; closest: " + text::joined(suggestions, ", ") +
                                           ". capture_inspect lists the window's elements.",
                                       "not_found");
                deferred.push_back({{"step", number},
                                    {"role", step.role.value_or("")},
                                    {"label", step.label.value_or("")},
                                    {"closestNow", suggestions}});
            }
        }
        if (changesUI(step)) mayHaveChanged = true;
    }
    return {{"checked", checked}, {"deferred", deferred}};
}

}  // namespace run
