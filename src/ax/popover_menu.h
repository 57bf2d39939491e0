#pragma once
// Menus behind buttons: a button of the window (a push button, a toggle button, a menu or pop-up button)
// opens a pop-over whose items are chosen by title. A menu path whose first title names such a button is
// walked like a menu-bar path: the same matching, pauses and messages, every later title searched in the
// pop-over the button opened: under the button, or where the application says the button's pop-over shows
// (the attribute "AXPopover" of the button), whose items may be buttons and check boxes.

#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace AX {

/// How long a pop-over is given to show its items after its button was pressed, in seconds.
inline constexpr double kPopoverOpensWithinSeconds = 1.0;

/// Roles of the buttons a menu path may start at.
inline const std::vector<std::string> kMenuButtonRoles{"AXButton", "AXCheckBox", "AXMenuButton", "AXPopUpButton"};

/// The button of `window` titled `title` (one of kMenuButtonRoles) that a menu path starts at.
std::optional<platform::Element> menuButton(const platform::Element& window, const std::string& title);

/// The first label of every button of `window` a menu path may start at, in search order, each once.
std::vector<std::string> menuButtonTitles(const platform::Element& window);

/// The first label of every menu item in the pop-over under `button`, in search order, each once.
std::vector<std::string> popoverTitles(const platform::Element& button);

/// The item titled `title` in the pop-over that `button` opened, waited for up to kPopoverOpensWithinSeconds.
std::optional<platform::Element> popoverItem(const platform::Element& button, const std::string& title);

}  // namespace AX
