// Attribute reads: the AX attribute names answered from AT-SPI's name, description, text, value, states,
// object attributes and extents.

#include <map>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_geometry.h"
#include "platform/linux/atspi/atspi_toolkit.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"

namespace platform::linux_desktop {
namespace {

std::optional<Value> nonEmpty(std::optional<std::string> text) {
    if (!text || text->empty()) return std::nullopt;
    return Value{std::move(*text)};
}

// Some GTK 3 programs pad a menu item's name with spaces where the shortcut is drawn; the title a person sees
// ends before them.
std::string withoutShortcutPadding(std::string title) {
    while (!title.empty() && title.back() == ' ') title.pop_back();
    return title;
}

// The menu held by a menu-opening item: its frame spans the items that are on screen.
std::optional<Extents> menuExtents(const Element& menu) {
    AtspiAccessibility service;
    const auto items = service.children(menu);
    if (!items) return std::nullopt;
    std::optional<Rect> span;
    for (const Element& item : *items) {
        const auto extents = screenExtents(nodeOf(item));
        if (!extents || !extents->position || extents->size.width <= 0 || extents->size.height <= 0) continue;
        const double left = extents->position->x, top = extents->position->y;
        const double right = left + extents->size.width, bottom = top + extents->size.height;
        if (!span) {
            span = Rect{left, top, right - left, bottom - top};
            continue;
        }
        const double spanRight = std::max(span->x + span->width, right);
        const double spanBottom = std::max(span->y + span->height, bottom);
        const double spanLeft = std::min(span->x, left), spanTop = std::min(span->y, top);
        *span = Rect{spanLeft, spanTop, spanRight - spanLeft, spanBottom - spanTop};
    }
    if (!span) return std::nullopt;
    return Extents{span->origin(), span->size()};
}

std::optional<Extents> extentsOf(const Element& element) {
    const AtspiNode& node = nodeOf(element);
    if (node.kind() == NodeKind::menuOfOpener) return menuExtents(element);
    return screenExtents(node);
}

// AXPosition and AXSize come from one extents call: a frame reads the two one after the other, so the size
// read within a moment of the position read takes the extents that read got.
constexpr double kFramePairSeconds = 0.05;

std::optional<Extents> extentsForPosition(const Element& element) {
    auto extents = extentsOf(element);
    if (extents) nodeOf(element).extentsForSize() = std::pair{detail::nowSeconds(), *extents};
    return extents;
}

std::optional<Extents> extentsForSize(const Element& element) {
    auto& kept = nodeOf(element).extentsForSize();
    if (kept) {
        const auto [readSeconds, extents] = *kept;
        kept.reset();
        if (detail::nowSeconds() - readSeconds <= kFramePairSeconds) return extents;
    }
    return extentsOf(element);
}

// The name as the widget shows it (atspi_toolkit.h).
std::optional<std::string> nameOf(const AtspiNode& node) {
    auto name = [&]() -> std::optional<std::string> {
        if (auto properties = accessibleProperties(node)) return properties->name;
        return readName(node.object());
    }();
    if (name) name = shownName(node.object(), std::move(*name));
    return name;
}

std::optional<std::string> descriptionOf(const AtspiNode& node) {
    if (auto properties = accessibleProperties(node)) return properties->description;
    return readDescription(node.object());
}

std::optional<std::string> accessibleIdOf(const AtspiNode& node) {
    if (auto properties = accessibleProperties(node)) return properties->accessibleId;
    return readAccessibleId(node.object());
}

std::optional<Value> stateFlag(AtspiAccessible* object, AtspiStateType state) {
    const auto states = readStates(object);
    if (!states) return std::nullopt;
    return Value{hasState(*states, state)};
}

// A window's title is what its title bar shows: the accessible name, else the X window's own title, and
// the empty string when it has neither (such a window still has a title, an empty one).
std::optional<Value> title(const Element& element, const AtspiNode& node, AtspiRole role) {
    if (node.kind() == NodeKind::menuOfOpener || nameUseFor(role) != NameUse::title) return std::nullopt;
    auto name = nameOf(node);
    if (name && isMenuItemRole(role)) name = withoutShortcutPadding(std::move(*name));
    if (name && name->empty() && isWindowNode(node)) return Value{titleBarText(element).value_or("")};
    return nonEmpty(std::move(name));
}

std::optional<Value> description(const AtspiNode& node, AtspiRole role) {
    if (node.kind() == NodeKind::menuOfOpener) return std::nullopt;
    if (nameUseFor(role) == NameUse::description) {
        // A text field's description is its label: its own name, else the names of the objects labelling it.
        if (auto name = nonEmpty(nameOf(node))) return name;
        if (isTextRole(role))
            if (auto label = nonEmpty(readLabelledBy(node.object()))) return label;
    }
    return nonEmpty(descriptionOf(node));
}

std::optional<Value> value(const AtspiNode& node, AtspiRole role) {
    if (node.kind() == NodeKind::menuOfOpener) return std::nullopt;
    AtspiAccessible* object = node.object();
    if (isTextRole(role)) {
        if (auto text = readText(object)) return Value{std::move(*text)};
        if (nameUseFor(role) == NameUse::value) return nonEmpty(nameOf(node));
        return std::nullopt;
    }
    if (nameUseFor(role) == NameUse::value) return nonEmpty(nameOf(node));
    if (isCheckableRole(role)) {
        const auto states = readStates(object);
        if (!states) return std::nullopt;
        return Value{hasState(*states, ATSPI_STATE_CHECKED) ? 1.0 : 0.0};
    }
    if (isRangeRole(role))
        if (auto current = readCurrentValue(object)) return Value{*current};
    return std::nullopt;
}

enum class Attribute {
    role, subrole, roleDescription, title, description, identifier, help, placeholder, label, value,
    position, size, enabled, focused, selected, main, minimized, parent, children, windows, mainWindow,
    menuBar, window, topLevel, popover
};

const std::map<std::string_view, Attribute>& attributeNames() {
    static const std::map<std::string_view, Attribute> names = {
        {"AXRole", Attribute::role},
        {"AXSubrole", Attribute::subrole},
        {"AXRoleDescription", Attribute::roleDescription},
        {"AXTitle", Attribute::title},
        {"AXDescription", Attribute::description},
        {"AXIdentifier", Attribute::identifier},
        {"AXHelp", Attribute::help},
        {"AXPlaceholderValue", Attribute::placeholder},
        {"AXLabel", Attribute::label},
        {"AXValue", Attribute::value},
        {"AXPosition", Attribute::position},
        {"AXSize", Attribute::size},
        {"AXEnabled", Attribute::enabled},
        {"AXFocused", Attribute::focused},
        {"AXSelected", Attribute::selected},
        {"AXMain", Attribute::main},
        {"AXMinimized", Attribute::minimized},
        {"AXParent", Attribute::parent},
        {"AXChildren", Attribute::children},
        {"AXWindows", Attribute::windows},
        {"AXMainWindow", Attribute::mainWindow},
        {"AXFocusedWindow", Attribute::mainWindow},
        {"AXMenuBar", Attribute::menuBar},
        {"AXWindow", Attribute::window},
        {"AXTopLevelUIElement", Attribute::topLevel},
        {"AXPopover", Attribute::popover},
    };
    return names;
}

}  // namespace

std::optional<Value> AtspiAccessibility::attribute(const Element& element, std::string_view name) {
    const auto found = attributeNames().find(name);
    if (found == attributeNames().end()) return std::nullopt;
    const AtspiNode& node = nodeOf(element);
    const auto role = node.atspiRole();
    if (!role) return std::nullopt;
    AtspiAccessible* object = node.object();
    const bool isMenu = node.kind() == NodeKind::menuOfOpener;
    switch (found->second) {
        case Attribute::role:
        case Attribute::subrole: {
            const auto axRole = axRoleOf(node);
            if (!axRole) return std::nullopt;
            return nonEmpty(found->second == Attribute::role ? axRole->role : axRole->subrole);
        }
        case Attribute::roleDescription:
            if (isMenu) return Value{std::string("menu")};
            return nonEmpty(readLocalizedRoleName(object));
        case Attribute::title: return title(element, node, *role);
        case Attribute::description: return description(node, *role);
        case Attribute::identifier:
            if (isMenu) return std::nullopt;
            return nonEmpty(accessibleIdOf(node));
        case Attribute::help:
        case Attribute::label: return std::nullopt;  // GTK and Qt give neither apart from the description
        case Attribute::placeholder:
            if (isMenu || !isTextFieldRole(*role)) return std::nullopt;
            return nonEmpty(readObjectAttribute(object, "placeholder-text"));
        case Attribute::value: return value(node, *role);
        case Attribute::position: {
            const auto extents = extentsForPosition(element);
            if (!extents || !extents->position) return std::nullopt;
            return Value{*extents->position};
        }
        case Attribute::size: {
            const auto extents = extentsForSize(element);
            if (!extents) return std::nullopt;
            return Value{extents->size};
        }
        case Attribute::enabled: return isMenu ? Value{true} : stateFlag(object, ATSPI_STATE_SENSITIVE);
        case Attribute::focused: return isMenu ? Value{false} : stateFlag(object, ATSPI_STATE_FOCUSED);
        case Attribute::selected: return isMenu ? Value{false} : stateFlag(object, ATSPI_STATE_SELECTED);
        case Attribute::main:
            if (!isWindowNode(node)) return std::nullopt;
            return stateFlag(object, ATSPI_STATE_ACTIVE);
        case Attribute::minimized:
            if (!isWindowNode(node)) return std::nullopt;
            return stateFlag(object, ATSPI_STATE_ICONIFIED);
        case Attribute::parent: {
            auto up = parent(element);
            if (!up) return std::nullopt;
            return Value{std::move(*up)};
        }
        case Attribute::children: {
            auto list = children(element);
            if (!list) return std::nullopt;
            return Value{std::move(*list)};
        }
        case Attribute::windows: {
            auto list = windows(element);
            if (!list) return std::nullopt;
            return Value{std::move(*list)};
        }
        case Attribute::mainWindow: {
            if (*role != ATSPI_ROLE_APPLICATION) return std::nullopt;
            auto window = mainWindowOf(element);
            if (!window) return std::nullopt;
            return Value{std::move(*window)};
        }
        case Attribute::menuBar: {
            if (*role != ATSPI_ROLE_APPLICATION) return std::nullopt;
            auto bar = menuBarOf(element);
            if (!bar) return std::nullopt;
            return Value{std::move(*bar)};
        }
        case Attribute::popover: {
            if (isMenu) return std::nullopt;
            AtspiAccessible* popover = popoverShownFor(object);
            if (!popover) return std::nullopt;
            return Value{adoptElement(popover)};
        }
        case Attribute::window:
        case Attribute::topLevel: {
            auto window = windowOf(element);
            if (!window) return std::nullopt;
            return Value{std::move(*window)};
        }
    }
    return std::nullopt;
}

}  // namespace platform::linux_desktop
