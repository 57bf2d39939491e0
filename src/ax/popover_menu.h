#pragma once
// Menus of applications without a menu bar: a button of the window opens a pop-over whose items are chosen
// by title. A menu path whose first title names such a button is walked like a menu-bar path: the same
// matching, pauses and messages, every later title searched in the pop-over the button opened.

#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace AX {

/// How long a pop-over is given to show its items after its button was pressed, in seconds.
inline constexpr double kPopoverOpensWithinSeconds = 1.0;

/// The button of `window` titled `title` that a menu path of an application without a menu bar starts at.
std::optional<platform::Element> menuButton(const platform::Element& window, const std::string& title);

/// The item titled `title` in the pop-over that `button` opened, waited for up to kPopoverOpensWithinSeconds.
std::optional<platform::Element> popoverItem(const platform::Element& button, const std::string& title);

}  // namespace AX
