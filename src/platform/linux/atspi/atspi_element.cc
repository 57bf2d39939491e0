// The shape of the tree: children, parents, windows, applications, and menus in the AX shape (a menu-opening
// item holds one AXMenu whose children are the items, where AT-SPI puts the items straight under the item).

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_geometry.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"

namespace platform::linux_desktop {
namespace {

constexpr int kMaxParentClimb = 256;
constexpr int kMenuBarSearchBudget = 400;

std::optional<AtspiRole> roleOfObject(AtspiAccessible* object) {
    return atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_role(object, error); },
        [](AtspiRole role) { return role == ATSPI_ROLE_INVALID; });
}

bool isMenuContainerRole(AtspiRole role) {
    return role == ATSPI_ROLE_MENU_BAR || role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_POPUP_MENU ||
           role == ATSPI_ROLE_MENU_ITEM;
}

bool noneVisible(const std::vector<std::optional<std::vector<AtspiStateType>>>& states) {
    for (const auto& each : states)
        if (each && hasState(*each, ATSPI_STATE_VISIBLE)) return false;
    return true;
}

// The children a person can see: toolkits keep hidden widgets in the tree (without the visible state), which
// an interface on screen does not show. Menu bars are left out too: GTK and Qt put the menu bar inside a
// window, where a window's interface on macOS has none; it belongs to the application (see children()).
// LibreOffice gives the items of a closed menu no visible state, all of them, until the menu opens, where GTK
// gives it to every item but the hidden ones: a menu none of whose items is visible lists them all, as the
// menu will show them. Qt 5.15 and 6.4 do the same, and also to the popup menu that a menu item holds, while
// it is closed.
std::optional<ElementList> visibleChildren(const AtspiNode& node) {
    AtspiAccessible* object = node.object();
    const auto fresh = freshProperties(node);
    auto children = readChildren(object, fresh ? std::optional<int>(fresh->childCount) : std::nullopt);
    if (!children) return std::nullopt;
    ElementList visible;
    // Each child learns the top-level it is in: the application's children are top-levels themselves.
    const bool ofApplication = node.atspiRole() == ATSPI_ROLE_APPLICATION;
    AtspiAccessible* topLevel = node.topLevelMemo();
    std::vector<std::optional<std::vector<AtspiStateType>>> states;
    states.reserve(children->size());
    for (AtspiAccessible* child : *children) states.push_back(readStates(child));
    const bool menuHolder = node.kind() == NodeKind::menuOfOpener || node.atspiRole() == ATSPI_ROLE_POPUP_MENU ||
                            node.atspiRole() == ATSPI_ROLE_MENU_ITEM;
    const bool everyItemCounts = menuHolder && noneVisible(states);
    for (size_t i = 0; i < children->size(); ++i) {
        AtspiAccessible* child = (*children)[i];
        if (!states[i] || (!everyItemCounts && !hasState(*states[i], ATSPI_STATE_VISIBLE)) ||
            hasState(*states[i], ATSPI_STATE_DEFUNCT)) {
            g_object_unref(child);
            continue;
        }
        Element element = adoptElement(child);
        nodeOf(element).rememberParentRole(node.atspiRole());
        nodeOf(element).rememberTopLevel(ofApplication ? child : topLevel);
        nodeOf(element).rememberPopover(ofApplication ? std::optional<AtspiAccessible*>(nullptr)
                                                      : popoverForChildren(node));
        if (nodeOf(element).atspiRole() != ATSPI_ROLE_MENU_BAR) visible.push_back(std::move(element));
    }
    return visible;
}

}  // namespace

bool isWindowNode(const AtspiNode& node) {
    if (node.kind() != NodeKind::object) return false;
    const auto axRole = axRoleOf(node);
    return axRole && axRole->role == "AXWindow";
}

bool opensMenu(AtspiAccessible* object) {
    AtspiAccessible* parent = readParent(object);
    if (!parent) return false;
    const auto parentRole = roleOfObject(parent);
    g_object_unref(parent);
    return parentRole && isMenuContainerRole(*parentRole);
}

std::optional<AxRole> axRoleOf(const AtspiNode& node) {
    if (node.kind() == NodeKind::menuOfOpener) return AxRole{"AXMenu", ""};
    if (node.axRoleMemo()) return node.axRoleMemo();
    const auto role = node.atspiRole();
    if (!role) return std::nullopt;
    RoleContext context;
    bool contextRead = true;
    switch (contextNeedFor(*role)) {
        case ContextNeed::none: break;
        case ContextNeed::parentRole: {
            // The walk that found the object knows its parent; otherwise the parent is asked for.
            auto parentRole = node.parentRoleMemo();
            if (!parentRole) {
                AtspiAccessible* parent = readParent(node.object());
                parentRole = parent ? roleOfObject(parent) : std::nullopt;
                if (parent) g_object_unref(parent);
            }
            contextRead = parentRole.has_value();
            if (*role == ATSPI_ROLE_MENU || *role == ATSPI_ROLE_MENU_ITEM) {
                context.underMenuBar = parentRole == ATSPI_ROLE_MENU_BAR;
                context.opensMenu = parentRole && isMenuContainerRole(*parentRole);
            } else {
                context.topLevel = parentRole == ATSPI_ROLE_APPLICATION;
            }
            break;
        }
        case ContextNeed::states: {
            const auto states = readStates(node.object());
            contextRead = states.has_value();
            if (states) {
                context.multiLine = hasState(*states, ATSPI_STATE_MULTI_LINE);
                context.editable = hasState(*states, ATSPI_STATE_EDITABLE);
            }
            break;
        }
    }
    AxRole axRole = axRoleFor(*role, context);
    if (contextRead) node.axRoleMemo() = axRole;
    return axRole;
}

std::optional<ElementList> AtspiAccessibility::children(const Element& element) {
    const AtspiNode& node = nodeOf(element);
    if (node.kind() == NodeKind::menuOfOpener) return visibleChildren(node);
    const auto role = node.atspiRole();
    if (!role) return std::nullopt;
    if (*role == ATSPI_ROLE_APPLICATION) {
        // As on macOS, an application's children are its windows and its menu bar.
        auto list = windows(element);
        if (!list) return std::nullopt;
        if (auto bar = menuBarOf(element)) list->push_back(std::move(*bar));
        return list;
    }
    if (*role == ATSPI_ROLE_MENU && opensMenu(node.object())) {
        // The item's own children become the children of the menu it holds.
        Element menu = adoptElement(static_cast<AtspiAccessible*>(g_object_ref(node.object())), NodeKind::menuOfOpener);
        nodeOf(menu).rememberTopLevel(node.topLevelMemo());
        return ElementList{std::move(menu)};
    }
    return visibleChildren(node);
}

long AtspiAccessibility::childrenLeftOut(const Element& element) {
    const AtspiNode& node = nodeOf(element);
    return node.kind() == NodeKind::object ? linux_desktop::childrenLeftOut(node.object()) : 0;
}

long AtspiAccessibility::unansweredRequests(const Element& element) {
    return linux_desktop::unansweredRequests(nodeOf(element).object());
}

std::optional<Element> AtspiAccessibility::parent(const Element& element) {
    const AtspiNode& node = nodeOf(element);
    if (node.kind() == NodeKind::menuOfOpener)
        return adoptElement(static_cast<AtspiAccessible*>(g_object_ref(node.object())));
    if (node.atspiRole() == ATSPI_ROLE_APPLICATION) return std::nullopt;
    if (node.atspiRole() == ATSPI_ROLE_MENU_BAR) return applicationOf(element);
    AtspiAccessible* parent = readParent(node.object());
    if (!parent) return std::nullopt;
    const auto parentRole = roleOfObject(parent);
    if (!parentRole || *parentRole == ATSPI_ROLE_DESKTOP_FRAME) {
        g_object_unref(parent);
        return std::nullopt;
    }
    // An item inside a menu-opening item belongs to the menu that item holds.
    if (*parentRole == ATSPI_ROLE_MENU && opensMenu(parent)) return adoptElement(parent, NodeKind::menuOfOpener);
    return adoptElement(parent);
}

std::optional<ElementList> AtspiAccessibility::windows(const Element& application) {
    const AtspiNode& node = nodeOf(application);
    if (node.kind() != NodeKind::object || node.atspiRole() != ATSPI_ROLE_APPLICATION) return std::nullopt;
    // Every top-level object of an application is one of its windows, whatever role its toolkit gives it.
    return visibleChildren(node);
}

std::optional<Element> AtspiAccessibility::application(int pid) {
    if (pid <= 0 || !atspiReady()) return std::nullopt;
    MainContextTurn turn;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return std::nullopt;
    std::optional<Element> found;
    if (auto applications = readChildren(desktop)) {
        for (AtspiAccessible* candidate : *applications) {
            if (!found && readProcessId(candidate) == pid)
                found = adoptElement(candidate);
            else
                g_object_unref(candidate);
        }
    }
    g_object_unref(desktop);
    return found;
}

std::optional<Element> applicationOf(const Element& element) {
    AtspiAccessible* object = nodeOf(element).object();
    const auto application = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_application(object, error); },
        [](AtspiAccessible* found) { return found == nullptr; });
    if (!application) return std::nullopt;
    return adoptElement(*application);
}

std::optional<Element> windowOf(const Element& element) {
    AtspiAccessibility service;
    std::optional<Element> current = element;
    for (int step = 0; current && step < kMaxParentClimb; ++step) {
        const auto role = nodeOf(*current).atspiRole();
        if (!role || *role == ATSPI_ROLE_APPLICATION) return std::nullopt;
        if (isWindowNode(nodeOf(*current))) return current;
        current = service.parent(*current);
    }
    return std::nullopt;
}

std::optional<Element> mainWindowOf(const Element& application) {
    AtspiAccessibility service;
    auto windows = service.windows(application);
    if (!windows) return std::nullopt;
    std::erase_if(*windows, [&](const Element& window) { return service.isSplashWindow(window); });
    if (windows->empty()) return std::nullopt;
    for (const Element& window : *windows) {
        const auto states = readStates(nodeOf(window).object());
        if (states && hasState(*states, ATSPI_STATE_ACTIVE)) return window;
    }
    return windows->front();
}

std::optional<Element> menuBarOf(const Element& application) {
    AtspiAccessibility service;
    auto windows = service.windows(application);
    if (!windows) return std::nullopt;
    if (auto main = mainWindowOf(application)) windows->insert(windows->begin(), *main);
    // Breadth first through each window: GTK puts the menu bar a level or two below the window.
    for (const Element& window : *windows) {
        std::vector<AtspiAccessible*> queue{static_cast<AtspiAccessible*>(g_object_ref(nodeOf(window).object()))};
        std::optional<Element> found;
        size_t next = 0;
        for (; next < queue.size() && next < static_cast<size_t>(kMenuBarSearchBudget) && !found; ++next) {
            AtspiAccessible* object = queue[next];
            if (roleOfObject(object) == ATSPI_ROLE_MENU_BAR) {
                found = adoptElement(static_cast<AtspiAccessible*>(g_object_ref(object)));
                break;
            }
            // Menus are not searched: a menu bar is never inside one.
            if (const auto role = roleOfObject(object); role && isMenuContainerRole(*role)) continue;
            if (auto children = readChildren(object)) queue.insert(queue.end(), children->begin(), children->end());
        }
        for (AtspiAccessible* object : queue) g_object_unref(object);
        if (found) return found;
    }
    return std::nullopt;
}

}  // namespace platform::linux_desktop
