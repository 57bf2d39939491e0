#pragma once
// The one table from AT-SPI roles to the AX vocabulary, and the role facts the rest of the backend asks.

#include <atspi/atspi.h>

#include <string>

namespace platform::linux_desktop {

/// An AX role with its subrole ("" when there is none).
struct AxRole {
    std::string role;
    std::string subrole;
};

/// What decides a role beyond the AT-SPI role itself.
struct RoleContext {
    bool underMenuBar = false;  // a menu or menu item whose parent is the menu bar
    bool opensMenu = false;     // a menu that sits inside a menu (a submenu's item)
    bool multiLine = false;     // a text that takes several lines
    bool editable = false;      // a combo box whose text can be typed
    bool topLevel = false;      // a child of the application: a window whatever its role (Qt gives "filler")
};

/// The AX role and subrole of an object of AT-SPI role `role`.
AxRole axRoleFor(AtspiRole role, const RoleContext& context);

/// The context `axRoleFor` needs for `role`: only menus, menu items, groups (which may be top-level windows),
/// texts and combo boxes depend on more than their role.
enum class ContextNeed { none, parentRole, states };
ContextNeed contextNeedFor(AtspiRole role);

/// Where an object's accessible name goes among the AX attributes.
enum class NameUse {
    title,        // AXTitle: buttons, menu items, windows, check boxes, tabs, groups, ...
    description,  // AXDescription: text fields (their label) and images
    value         // AXValue: static text and pop-up buttons, whose name is what they show
};
NameUse nameUseFor(AtspiRole role);

/// Roles whose text content is their AXValue (text fields and static text).
bool isTextRole(AtspiRole role);

/// Roles of text fields (single- or multi-line, plain or secure), which may show a placeholder.
bool isTextFieldRole(AtspiRole role);

/// Roles whose AXValue is 0 or 1 for their checked state.
bool isCheckableRole(AtspiRole role);

/// Roles whose AXValue is the Value interface's current number.
bool isRangeRole(AtspiRole role);

/// Roles of menu items, whose titles lose the padding some toolkits put where the shortcut is shown.
bool isMenuItemRole(AtspiRole role);

/// "AX" followed by the AT-SPI role name in upper camel case ("page tab list" gives "AXPageTabList").
std::string axRoleFromRoleName(const std::string& roleName);

}  // namespace platform::linux_desktop
