#pragma once
// The accessibility service on AT-SPI2 (libatspi): other applications' objects in the AX vocabulary.
//
// Nothing is opened when the object is made; the accessibility bus is reached on the first call. Every call
// to another application is bounded (see atspi_session.h), so a frozen application gives absent values.

#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "platform/linux/atspi/atspi_node.h"
#include "platform/linux/atspi/atspi_roles.h"

namespace platform::linux_desktop {

class AtspiAccessibility final : public Accessibility {
public:
    std::optional<Value> attribute(const Element& element, std::string_view name) override;
    std::optional<ElementList> children(const Element& element) override;
    std::optional<Element> parent(const Element& element) override;
    std::optional<ElementList> windows(const Element& application) override;
    std::vector<std::string> actionNames(const Element& element) override;
    bool performAction(const Element& element, std::string_view action) override;
    bool setFocused(const Element& element) override;
    bool setPosition(const Element& element, Point position) override;
    bool setSize(const Element& element, Size size) override;
    std::optional<Element> elementAtPoint(Point point) override;
    std::optional<Element> application(int pid) override;
    long childrenLeftOut(const Element& element) override;
    long unansweredRequests(const Element& element) override;
    bool isSplashWindow(const Element& window) override;  // atspi_window_kind.cc
    void walkBegins(const Element& root, long maxElements, long maxDepth) override;  // atspi_prefetch.cc
    void walkEnded() override;
};

// Pieces shared by the backend's files (atspi_element.cc, atspi_attributes.cc, atspi_actions.cc, ...).

/// The AX role and subrole of `node`, reading the parent's role or the states when the role table needs them.
std::optional<AxRole> axRoleOf(const AtspiNode& node);

/// True when `node` is a top-level window (AX role "AXWindow").
bool isWindowNode(const AtspiNode& node);

/// True when `object` (of AT-SPI role menu) is an item that opens a menu: its parent is a menu bar or a menu.
bool opensMenu(AtspiAccessible* object);

/// The top-level window that holds `element` (the element itself when it is one), or nothing.
std::optional<Element> windowOf(const Element& element);

/// The application element that owns `element`.
std::optional<Element> applicationOf(const Element& element);

/// The menu bar of an application: the first one found in its windows, the active window first.
std::optional<Element> menuBarOf(const Element& application);

/// The application's window that is active, else its first window; splash screens (`isSplashWindow`) left
/// out.
std::optional<Element> mainWindowOf(const Element& application);

/// Chooses a menu item whose menu is open by selecting it and pressing Enter; true once the menu has closed.
/// False when the element is no item of an open menu or the key did not choose it (the caller then performs
/// the item's own action).
bool chooseInOpenMenu(const AtspiNode& node);

/// The pop-over that the button `button` opened, where the application shows it apart from the button: a
/// showing child of the button's window that is a pop-up for it (the relation "popup-for"), as GTK 3.24 puts
/// a menu button's pop-over. A new reference, or null.
AtspiAccessible* popoverShownFor(AtspiAccessible* button);

/// Chooses an item of a GTK 3 pop-over (a push button, check box, radio or toggle button under a pop-over)
/// with a pointer click at its centre, since its AT-SPI action does nothing there; true once the effect shows
/// (the pop-over closed or the item's checked state changed), false when it does not within a second.
/// Nothing for other elements, which the caller presses through their action.
std::optional<bool> choosePopoverItemByPointer(const AtspiNode& node);

/// After a menu item was chosen: when the menu bar above it kept the keyboard (its window active and the menu
/// bar or one of the item's menus focused), ends that mode with Escape, as a person does, and reads the focus
/// again. Does nothing for other elements, for items of pop-overs and context menus, or when the focus left.
void leaveMenuBarAfterChoosing(const AtspiNode& node);

/// Raises and activates the X11 window behind a window element; true when a window was found and asked.
bool raiseWindow(const Element& window);

/// The title the X11 window behind a window element carries (`_NET_WM_NAME`, else `WM_NAME`), or nothing.
std::optional<std::string> titleBarText(const Element& window);

}  // namespace platform::linux_desktop
