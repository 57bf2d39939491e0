#pragma once
// Menus that an application fills only when they open: a menu-bar item whose menu holds no items until it is
// pressed. Their titles cannot be checked before recording; the run opens each level and waits for its items.

#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace AX {

/// Whether `opener` opens a menu that holds no items yet: a menu-bar item without items, or an item whose
/// submenu is empty. A plain menu item opens no menu.
bool holdsNoItems(const platform::Element& opener);

/// The item titled `title` in the menu that `opener` opened. A menu that held no items when asked is searched
/// until the item is there, for up to `timeoutSeconds`; one that holds items is searched once, as it is.
std::optional<platform::Element> itemOnceFilled(const platform::Element& opener, const std::string& title,
                                                double timeoutSeconds);

}  // namespace AX
