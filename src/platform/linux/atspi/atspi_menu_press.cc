// Choosing an item of an open menu the way a person does: the item is selected in its menu and Enter is
// pressed. An AT-SPI "click" on the item would do the same in the end, but GTK's bridge runs the item's
// action while it handles the request, so an action that runs a dialog of its own (a nested main loop)
// leaves the application unable to answer any accessibility request until that dialog closes, and the
// following steps could not find the dialog's controls. The key press reaches the menu through its keyboard
// grab and the action runs from the application's main loop, which goes on serving requests.
//
// The key is made with XTEST on a connection of our own. The registry daemon's key events
// (atspi_generate_keyboard_event) need the daemon to have the display, which a bus activated by a service
// manager before the graphical session exported DISPLAY lacks: the call then succeeds and nothing is typed.
//
// Once the item has run, the application is left as a pointer choice leaves it: where its menu bar kept the
// keyboard (LibreOffice 7.4 leaves the menu bar and the chosen item's menu focused, and keys typed next go
// to the menu bar), Escape ends that mode, as it does for a person, and the focus is read again.
//
// GTK 3.24 shows a menu button's pop-over as a panel of the window elsewhere than under the button (a pop-up
// for it), with push buttons and check boxes for items (model buttons) whose AT-SPI "click" does nothing:
// such an item is clicked with the pointer, and counts as chosen only once the pop-over closed or its
// checked state changed.

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_geometry.h"
#include "platform/linux/atspi/atspi_java.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/atspi/atspi_toolkit.h"
#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {
namespace {

constexpr double kMenuClosesWithinSeconds = 1.0;
constexpr double kMenuPollSeconds = 0.02;
// LibreOffice 7.4 gives the focus back to its menu bar a few hundredths of a second after the item's action
// was asked for: the menu bar is watched that long before it counts as having let the keyboard go.
constexpr double kKeyboardModeShowsWithinSeconds = 0.5;
constexpr double kKeyboardModeEndsWithinSeconds = 1.0;
constexpr int kMostEscapes = 2;
constexpr int kMostMenuLevels = 32;

bool isLeafMenuItemRole(AtspiRole role) {
    return role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_CHECK_MENU_ITEM || role == ATSPI_ROLE_RADIO_MENU_ITEM ||
           role == ATSPI_ROLE_TEAROFF_MENU_ITEM;
}

bool isMenuRole(AtspiRole role) {
    return role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_POPUP_MENU;
}

// Whether `object` is on screen now; nothing when the application does not answer.
std::optional<bool> showing(AtspiAccessible* object) {
    const auto states = readStates(object);
    if (!states) return std::nullopt;
    return hasState(*states, ATSPI_STATE_SHOWING);
}

// Selects the child at `index` of the menu `menu` (as the pointer hovering it would).
bool selectInMenu(AtspiAccessible* menu, int index) {
    AtspiSelection* selection = atspiInterface(menu, atspi_accessible_get_selection_iface);
    if (!selection) return false;
    const auto done = atspiCall(
        menu, [&](GError** error) { return atspi_selection_select_child(selection, index, error); },
        [](gboolean ok) { return !ok; });
    g_object_unref(selection);
    return done.has_value();
}

// Presses and releases the key `keysym`; false when the display or its XTEST extension cannot be had.
bool pressKey(KeySym keysym) {
    const DisplayPtr display = openDisplay();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor)) return false;
    const KeyCode key = XKeysymToKeycode(display.get(), keysym);
    if (key == 0) return false;
    XTestFakeKeyEvent(display.get(), key, True, CurrentTime);
    XTestFakeKeyEvent(display.get(), key, False, CurrentTime);
    XSync(display.get(), False);
    return true;
}

// The menus above a chosen item up to its menu bar, the menu bar, and the window holding it (new references,
// released with the object). Empty `menus` when the item is in no menu bar (a pop-over, a context menu).
class MenuBarAbove {
public:
    explicit MenuBarAbove(AtspiAccessible* menu) {
        AtspiAccessible* object = static_cast<AtspiAccessible*>(g_object_ref(menu));
        bool passedBar = false;
        for (int level = 0; object && level < kMostMenuLevels; ++level) {
            const auto role = readRole(object);
            if (!role || *role == ATSPI_ROLE_APPLICATION) break;
            AtspiAccessible* parent = readParent(object);
            if (parent && readRole(parent) == ATSPI_ROLE_APPLICATION) {
                window_ = object;  // the top-level object under the application
                object = nullptr;
                g_object_unref(parent);
                break;
            }
            if (!passedBar && (isMenuRole(*role) || *role == ATSPI_ROLE_MENU_BAR)) {
                menus_.push_back(object);
                passedBar = *role == ATSPI_ROLE_MENU_BAR;
            } else {
                g_object_unref(object);
            }
            object = parent;
        }
        if (object) g_object_unref(object);
        if (!passedBar || !window_) release();
    }
    ~MenuBarAbove() { release(); }
    MenuBarAbove(const MenuBarAbove&) = delete;
    MenuBarAbove& operator=(const MenuBarAbove&) = delete;

    // Whether the menu bar keeps the keyboard: its window is the active one and the menu bar or one of the
    // menus above the item is focused. A window that is not active (a dialog the item opened is) may keep a
    // stale focused state on its menus (LibreOffice 7.4 does): that is no keyboard mode. Nothing when the
    // application does not answer.
    std::optional<bool> holdsKeyboard() const {
        if (menus_.empty()) return false;
        const auto windowStates = readStates(window_);
        if (!windowStates) return std::nullopt;
        if (!hasState(*windowStates, ATSPI_STATE_ACTIVE)) return false;
        for (AtspiAccessible* each : menus_) {
            const auto states = readStates(each);
            if (!states) return std::nullopt;
            if (hasState(*states, ATSPI_STATE_FOCUSED)) return true;
        }
        return false;
    }

private:
    void release() {
        for (AtspiAccessible* each : menus_) g_object_unref(each);
        menus_.clear();
        if (window_) g_object_unref(window_);
        window_ = nullptr;
    }
    std::vector<AtspiAccessible*> menus_;
    AtspiAccessible* window_ = nullptr;
};

// Whether the menu bar holds the keyboard at some read before `deadline` (host seconds); read at least once.
bool holdsKeyboardBy(const MenuBarAbove& above, double deadline) {
    for (;;) {
        const auto holds = above.holdsKeyboard();
        if (!holds) return false;  // not answering: running the item's action, or gone
        if (*holds) return true;
        if (detail::nowSeconds() >= deadline) return false;
        g_usleep(static_cast<gulong>(kMenuPollSeconds * 1e6));
    }
}

// Ends the keyboard mode the menu bar above a chosen item kept, as a person does: Escape while the menu bar
// holds the focus, then the focus read again until it left (at most twice). Never a key when it does not.
void endMenuBarKeyboardMode(AtspiAccessible* menu) {
    const MenuBarAbove above(menu);
    if (!holdsKeyboardBy(above, detail::nowSeconds() + kKeyboardModeShowsWithinSeconds)) return;
    for (int escapes = 0; escapes < kMostEscapes; ++escapes) {
        if (!pressKey(XK_Escape)) return;
        const double deadline = detail::nowSeconds() + kKeyboardModeEndsWithinSeconds;
        while (above.holdsKeyboard() == true && detail::nowSeconds() < deadline)
            g_usleep(static_cast<gulong>(kMenuPollSeconds * 1e6));
        if (above.holdsKeyboard() != true) return;
    }
}

// Clicks the primary button at the centre of the node's object on screen, as a person chooses an item; false
// without a frame, the display or its XTEST extension. For menus without the Selection interface (Qt 5.15 and
// 6.4), whose bridge runs an item's action without closing its menu, and for Java's, whose selection closes
// the menu without running the item.
bool clickCentre(const AtspiNode& node) {
    const auto extents = screenExtents(node);
    if (!extents || !extents->position || extents->size.width <= 0 || extents->size.height <= 0) return false;
    const DisplayPtr display = openDisplay();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor)) return false;
    const int x = static_cast<int>(extents->position->x + extents->size.width / 2);
    const int y = static_cast<int>(extents->position->y + extents->size.height / 2);
    XTestFakeMotionEvent(display.get(), -1, x, y, CurrentTime);
    XSync(display.get(), False);
    g_usleep(static_cast<gulong>(kMenuPollSeconds * 1e6));  // the menu takes the hovered item as its current one
    XTestFakeButtonEvent(display.get(), Button1, True, CurrentTime);
    XTestFakeButtonEvent(display.get(), Button1, False, CurrentTime);
    XSync(display.get(), False);
    return true;
}

bool isPopoverItemRole(AtspiRole role) {
    return role == ATSPI_ROLE_PUSH_BUTTON || role == ATSPI_ROLE_CHECK_BOX || role == ATSPI_ROLE_RADIO_BUTTON ||
           role == ATSPI_ROLE_TOGGLE_BUTTON;
}

// Whether `object` is a pop-up for `target` (for any object when `target` is null).
bool isPopupFor(AtspiAccessible* object, AtspiAccessible* target) {
    const auto relations = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_relation_set(object, error); },
        [](GArray* found) { return found == nullptr; });
    if (!relations) return false;
    bool found = false;
    for (guint i = 0; i < (*relations)->len; ++i) {
        AtspiRelation* relation = g_array_index(*relations, AtspiRelation*, i);
        if (!found && atspi_relation_get_relation_type(relation) == ATSPI_RELATION_POPUP_FOR) {
            const gint targets = atspi_relation_get_n_targets(relation);
            for (gint t = 0; t < targets && !found; ++t) {
                AtspiAccessible* each = atspi_relation_get_target(relation, t);
                found = each && (!target || each == target);  // libatspi keeps one proxy per object
                if (each) g_object_unref(each);
            }
        }
        g_object_unref(relation);
    }
    g_array_free(*relations, TRUE);
    return found;
}

// The nearest object above `object` (itself left out) that is a pop-up for another, up to its window; a new
// reference, or null.
AtspiAccessible* popoverAbove(AtspiAccessible* object) {
    AtspiAccessible* current = readParent(object);
    for (int level = 0; current && level < kMostMenuLevels; ++level) {
        const auto role = readRole(current);
        if (!role || *role == ATSPI_ROLE_APPLICATION) break;
        if (isPopupFor(current, nullptr)) return current;
        AtspiAccessible* parent = readParent(current);
        g_object_unref(current);
        current = parent;
    }
    if (current) g_object_unref(current);
    return nullptr;
}

}  // namespace

AtspiAccessible* popoverShownFor(AtspiAccessible* button) {
    // The button's window: the object right under the application.
    AtspiAccessible* window = static_cast<AtspiAccessible*>(g_object_ref(button));
    for (int level = 0; level < kMostMenuLevels; ++level) {
        AtspiAccessible* parent = readParent(window);
        const auto parentRole = parent ? readRole(parent) : std::nullopt;
        if (!parentRole || *parentRole == ATSPI_ROLE_APPLICATION) {
            if (parent) g_object_unref(parent);
            if (parentRole) break;
            g_object_unref(window);
            return nullptr;
        }
        g_object_unref(window);
        window = parent;
    }
    AtspiAccessible* popover = nullptr;
    if (auto children = readChildren(window)) {
        for (AtspiAccessible* child : *children) {
            if (!popover && showing(child) == true && isPopupFor(child, button))
                popover = child;
            else
                g_object_unref(child);
        }
    }
    g_object_unref(window);
    return popover;
}

std::optional<bool> choosePopoverItemByPointer(const AtspiNode& node) {
    if (node.kind() != NodeKind::object) return std::nullopt;
    const auto role = node.atspiRole();
    if (!role || !isPopoverItemRole(*role)) return std::nullopt;
    AtspiAccessible* item = node.object();
    if (!runsGtk3(item) || showing(item) != true) return std::nullopt;
    AtspiAccessible* popover = popoverAbove(item);
    if (!popover) return std::nullopt;
    bool chosen = false;
    const auto before = readStates(item);
    if (before && clickCentre(node)) {
        const bool wasChecked = hasState(*before, ATSPI_STATE_CHECKED);
        // A check or radio item stays in its pop-over and GTK 3.24 never reports it checked; the press that
        // toggles it also gives it the focus, which then shows that the press reached it.
        const bool toggles = *role != ATSPI_ROLE_PUSH_BUTTON && !hasState(*before, ATSPI_STATE_FOCUSED);
        const double deadline = detail::nowSeconds() + kMenuClosesWithinSeconds;
        for (;;) {
            // An application that stops answering is running the item's action.
            const auto popoverStates = readStates(popover);
            const auto itemStates = readStates(item);
            if (!popoverStates || !hasState(*popoverStates, ATSPI_STATE_SHOWING) || !itemStates ||
                hasState(*itemStates, ATSPI_STATE_CHECKED) != wasChecked ||
                (toggles && hasState(*itemStates, ATSPI_STATE_FOCUSED))) {
                chosen = true;
                break;
            }
            if (detail::nowSeconds() >= deadline) break;
            g_usleep(static_cast<gulong>(kMenuPollSeconds * 1e6));
        }
    }
    g_object_unref(popover);
    return chosen;
}

bool chooseInOpenMenu(const AtspiNode& node) {
    if (node.kind() != NodeKind::object) return false;
    const auto role = node.atspiRole();
    if (!role || !isLeafMenuItemRole(*role)) return false;
    AtspiAccessible* item = node.object();
    if (showing(item) != true) return false;  // a closed menu: the caller's action does it
    AtspiAccessible* menu = readParent(item);
    if (!menu) return false;
    bool chosen = false;
    const auto menuRole = readRole(menu);
    const auto index = atspiCall(
        item, [&](GError** error) { return atspi_accessible_get_index_in_parent(item, error); },
        [](gint found) { return found < 0; });
    const bool selectable = menuRole && isMenuRole(*menuRole) && index && !selectingClosesJavaMenu(item) &&
                            selectInMenu(menu, *index);
    if (!selectable && menuRole && isMenuRole(*menuRole) && clickCentre(node)) {
        // The pointer chose it: the menu holds the pointer, so the press went to the item under it. It is
        // never chosen again, whatever the menu's state says next (Firefox ESR 153 keeps an item's showing
        // state after its menu has closed).
        chosen = true;
    } else if (selectable && pressKey(XK_Return)) {
        // Chosen once the menu has closed. An application that stops answering is running the item's action.
        const double deadline = detail::nowSeconds() + kMenuClosesWithinSeconds;
        for (;;) {
            const auto stillShowing = showing(item);
            if (stillShowing != true) {
                chosen = true;
                break;
            }
            if (detail::nowSeconds() >= deadline) break;  // the key did not choose it: the caller's action does
            g_usleep(static_cast<gulong>(kMenuPollSeconds * 1e6));
        }
    }
    g_object_unref(menu);
    return chosen;
}

void leaveMenuBarAfterChoosing(const AtspiNode& node) {
    if (node.kind() != NodeKind::object) return;
    const auto role = node.atspiRole();
    if (!role || !isLeafMenuItemRole(*role)) return;
    AtspiAccessible* menu = readParent(node.object());
    if (!menu) return;
    endMenuBarKeyboardMode(menu);
    g_object_unref(menu);
}

}  // namespace platform::linux_desktop
