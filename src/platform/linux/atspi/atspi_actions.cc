// Actions and focus: AT-SPI action names presented as AXPress, AXConfirm, AXShowMenu, ...; AXRaise for windows.

#include <cctype>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_prefetch.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"

namespace platform::linux_desktop {
namespace {

// "Show Menu", "show_menu" and "showmenu" are the same action to a person.
std::string normalised(const std::string& name) {
    std::string folded;
    for (char c : name)
        if (c != ' ' && c != '_' && c != '-') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// The AX name of the AT-SPI action `name` on an object of role `role`; unknown actions keep their own name.
std::string axActionName(const std::string& name, AtspiRole role) {
    const std::string folded = normalised(name);
    if (folded == "activate" && isTextRole(role)) return "AXConfirm";  // Enter in a text entry
    if (folded == "click" || folded == "press" || folded == "activate" || folded == "toggle" || folded == "jump" ||
        folded == "open")
        return "AXPress";
    // Qt's menu items that open a menu (the menu bar's titles, submenus) offer only "ShowMenu", which opens it:
    // that is what pressing them does.
    if (folded == "showmenu" && role == ATSPI_ROLE_MENU_ITEM) return "AXPress";
    if (folded == "showmenu" || folded == "menu" || folded == "popup" || folded == "contextmenu" ||
        folded == "showcontextmenu")  // Chromium's, on every object
        return "AXShowMenu";
    if (folded == "increase" || folded == "increment") return "AXIncrement";
    if (folded == "decrease" || folded == "decrement") return "AXDecrement";
    return name;
}

struct MappedAction {
    std::string axName;
    int index;  // the AT-SPI action's index
};

// The object's actions in AT-SPI order, each AX name once (the first AT-SPI action that gives it wins).
std::vector<MappedAction> mappedActions(const AtspiNode& node) {
    std::vector<MappedAction> mapped;
    if (node.kind() != NodeKind::object) return mapped;
    const auto role = node.atspiRole();
    if (!role) return mapped;
    AtspiAccessible* object = node.object();
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->actionNames) {
        for (size_t index = 0; index < ahead->actionNames->size(); ++index) {
            std::string axName = axActionName((*ahead->actionNames)[index], *role);
            bool seen = false;
            for (const MappedAction& each : mapped) seen = seen || each.axName == axName;
            if (!seen && !axName.empty()) mapped.push_back({std::move(axName), static_cast<int>(index)});
        }
        return mapped;
    }
    AtspiAction* action = atspiInterface(object, atspi_accessible_get_action_iface);
    if (!action) return mapped;
    const int count = atspiCall(
                          object, [&](GError** error) { return atspi_action_get_n_actions(action, error); },
                          [](gint n) { return n < 0; })
                          .value_or(0);
    for (int index = 0; index < count; ++index) {
        const auto name = atspiCall(
            object, [&](GError** error) { return atspi_action_get_action_name(action, index, error); },
            [](gchar* text) { return text == nullptr; });
        if (!name) break;
        std::string axName = axActionName(*name, *role);
        g_free(*name);
        bool seen = false;
        for (const MappedAction& each : mapped) seen = seen || each.axName == axName;
        if (!seen && !axName.empty()) mapped.push_back({std::move(axName), index});
    }
    g_object_unref(action);
    return mapped;
}

}  // namespace

std::vector<std::string> AtspiAccessibility::actionNames(const Element& element) {
    const AtspiNode& node = nodeOf(element);
    std::vector<std::string> names;
    if (node.kind() != NodeKind::object) return names;
    // An insensitive control offers nothing to do.
    const auto states = readStates(node.object());
    if (!states || !hasState(*states, ATSPI_STATE_SENSITIVE)) return names;
    for (MappedAction& action : mappedActions(node)) names.push_back(std::move(action.axName));
    if (isWindowNode(node)) names.push_back("AXRaise");
    return names;
}

bool AtspiAccessibility::performAction(const Element& element, std::string_view actionName) {
    const AtspiNode& node = nodeOf(element);
    if (actionName == "AXRaise" && isWindowNode(node)) return raiseWindow(element);
    for (const MappedAction& action : mappedActions(node)) {
        if (action.axName != actionName) continue;
        if (actionName == "AXPress")
            if (const auto chosen = choosePopoverItemByPointer(node)) return *chosen;
        const bool pressed = actionName == "AXPress" && chooseInOpenMenu(node);
        if (!pressed) {
            AtspiAccessible* object = node.object();
            AtspiAction* iface = atspiInterface(object, atspi_accessible_get_action_iface);
            if (!iface) return false;
            const auto done = atspiCall(
                object, [&](GError** error) { return atspi_action_do_action(iface, action.index, error); },
                [](gboolean ok) { return !ok; });
            g_object_unref(iface);
            if (!done) return false;
        }
        if (actionName == "AXPress") leaveMenuBarAfterChoosing(node);
        return true;
    }
    return false;
}

bool AtspiAccessibility::setFocused(const Element& element) {
    const AtspiNode& node = nodeOf(element);
    if (node.kind() != NodeKind::object) return false;
    if (isWindowNode(node)) return raiseWindow(element);
    AtspiAccessible* object = node.object();
    AtspiComponent* component = atspiInterface(object, atspi_accessible_get_component_iface);
    if (!component) return false;
    const auto done = atspiCall(
        object, [&](GError** error) { return atspi_component_grab_focus(component, error); },
        [](gboolean ok) { return !ok; });
    g_object_unref(component);
    return done.has_value();
}

}  // namespace platform::linux_desktop
