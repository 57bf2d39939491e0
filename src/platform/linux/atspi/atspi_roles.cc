#include "platform/linux/atspi/atspi_roles.h"

#include <cctype>

namespace platform::linux_desktop {

AxRole axRoleFor(AtspiRole role, const RoleContext& context) {
    // A window is what sits right under the application, whatever its role; Qt calls inner frames "frame".
    if (context.topLevel) {
        const bool dialog = role == ATSPI_ROLE_DIALOG || role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_FILE_CHOOSER;
        return {"AXWindow", dialog ? "AXDialog" : "AXStandardWindow"};
    }
    switch (role) {
        case ATSPI_ROLE_PUSH_BUTTON: return {"AXButton", ""};
        case ATSPI_ROLE_TOGGLE_BUTTON: return {"AXCheckBox", "AXToggle"};
        case ATSPI_ROLE_CHECK_BOX: return {"AXCheckBox", ""};
        case ATSPI_ROLE_RADIO_BUTTON: return {"AXRadioButton", ""};
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_ENTRY: return {context.multiLine ? "AXTextArea" : "AXTextField", ""};
        case ATSPI_ROLE_PASSWORD_TEXT: return {"AXTextField", "AXSecureTextField"};
        case ATSPI_ROLE_LABEL:
        case ATSPI_ROLE_STATIC: return {"AXStaticText", ""};
        case ATSPI_ROLE_FRAME:
        case ATSPI_ROLE_WINDOW:
        case ATSPI_ROLE_DIALOG:
        case ATSPI_ROLE_FILE_CHOOSER:
        case ATSPI_ROLE_ALERT: return {"AXGroup", ""};  // inside a window (top-level ones are handled above)
        case ATSPI_ROLE_MENU_BAR: return {"AXMenuBar", ""};
        case ATSPI_ROLE_MENU:
            if (context.underMenuBar) return {"AXMenuBarItem", ""};
            if (context.opensMenu) return {"AXMenuItem", ""};
            return {"AXMenu", ""};
        case ATSPI_ROLE_POPUP_MENU: return {"AXMenu", ""};
        case ATSPI_ROLE_MENU_ITEM:
            // Qt gives the menu bar's titles the menu-item role, each holding its menu as a popup menu.
            if (context.underMenuBar) return {"AXMenuBarItem", ""};
            return {"AXMenuItem", ""};
        case ATSPI_ROLE_CHECK_MENU_ITEM:
        case ATSPI_ROLE_RADIO_MENU_ITEM:
        case ATSPI_ROLE_TEAROFF_MENU_ITEM: return {"AXMenuItem", ""};
        case ATSPI_ROLE_COMBO_BOX: return {context.editable ? "AXComboBox" : "AXPopUpButton", ""};
        case ATSPI_ROLE_LIST:
        case ATSPI_ROLE_LIST_BOX: return {"AXList", ""};
        case ATSPI_ROLE_TABLE: return {"AXTable", ""};
        case ATSPI_ROLE_TABLE_ROW: return {"AXRow", ""};
        case ATSPI_ROLE_TABLE_CELL: return {"AXCell", ""};
        case ATSPI_ROLE_TREE:
        case ATSPI_ROLE_TREE_TABLE: return {"AXOutline", ""};
        case ATSPI_ROLE_SCROLL_PANE: return {"AXScrollArea", ""};
        case ATSPI_ROLE_SCROLL_BAR: return {"AXScrollBar", ""};
        case ATSPI_ROLE_SLIDER: return {"AXSlider", ""};
        case ATSPI_ROLE_PAGE_TAB_LIST: return {"AXTabGroup", ""};
        case ATSPI_ROLE_PAGE_TAB: return {"AXRadioButton", "AXTabButton"};
        case ATSPI_ROLE_PANEL:
        case ATSPI_ROLE_FILLER:
        case ATSPI_ROLE_SECTION: return {"AXGroup", ""};
        case ATSPI_ROLE_TOOL_BAR: return {"AXToolbar", ""};
        case ATSPI_ROLE_PROGRESS_BAR: return {"AXProgressIndicator", ""};
        case ATSPI_ROLE_IMAGE:
        case ATSPI_ROLE_ICON: return {"AXImage", ""};
        case ATSPI_ROLE_LINK: return {"AXLink", ""};
        case ATSPI_ROLE_HEADING: return {"AXHeading", ""};
        case ATSPI_ROLE_SPLIT_PANE: return {"AXSplitGroup", ""};
        case ATSPI_ROLE_APPLICATION: return {"AXApplication", ""};
        default: break;
    }
    gchar* name = atspi_role_get_name(role);
    AxRole fallback{axRoleFromRoleName(name ? name : "unknown"), ""};
    g_free(name);
    return fallback;
}

ContextNeed contextNeedFor(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_MENU:
        case ATSPI_ROLE_MENU_ITEM:
        case ATSPI_ROLE_FILLER:
        case ATSPI_ROLE_PANEL:
        case ATSPI_ROLE_FRAME:
        case ATSPI_ROLE_WINDOW:
        case ATSPI_ROLE_DIALOG:
        case ATSPI_ROLE_FILE_CHOOSER:
        case ATSPI_ROLE_ALERT: return ContextNeed::parentRole;
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_COMBO_BOX: return ContextNeed::states;
        default: return ContextNeed::none;
    }
}

NameUse nameUseFor(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PASSWORD_TEXT:
        case ATSPI_ROLE_IMAGE:
        case ATSPI_ROLE_ICON: return NameUse::description;
        case ATSPI_ROLE_LABEL:
        case ATSPI_ROLE_STATIC:
        case ATSPI_ROLE_COMBO_BOX: return NameUse::value;
        default: return NameUse::title;
    }
}

bool isTextRole(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PASSWORD_TEXT:
        case ATSPI_ROLE_LABEL:
        case ATSPI_ROLE_STATIC: return true;
        default: return false;
    }
}

bool isTextFieldRole(AtspiRole role) {
    return role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_PASSWORD_TEXT;
}

bool isCheckableRole(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_CHECK_BOX:
        case ATSPI_ROLE_TOGGLE_BUTTON:
        case ATSPI_ROLE_RADIO_BUTTON: return true;
        default: return false;
    }
}

bool isRangeRole(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_SLIDER:
        case ATSPI_ROLE_SPIN_BUTTON:
        case ATSPI_ROLE_PROGRESS_BAR:
        case ATSPI_ROLE_SCROLL_BAR:
        case ATSPI_ROLE_LEVEL_BAR:
        case ATSPI_ROLE_DIAL: return true;
        default: return false;
    }
}

bool isMenuItemRole(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_MENU:
        case ATSPI_ROLE_MENU_ITEM:
        case ATSPI_ROLE_CHECK_MENU_ITEM:
        case ATSPI_ROLE_RADIO_MENU_ITEM:
        case ATSPI_ROLE_TEAROFF_MENU_ITEM: return true;
        default: return false;
    }
}

std::string axRoleFromRoleName(const std::string& roleName) {
    std::string result = "AX";
    bool wordStart = true;
    for (char c : roleName) {
        if (c == ' ' || c == '_' || c == '-') {
            wordStart = true;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        result += static_cast<char>(wordStart ? std::toupper(byte) : byte);
        wordStart = false;
    }
    return result;
}

}  // namespace platform::linux_desktop
