#pragma once
// What the toolkits' accessibility bridges do differently, answered in one place: which toolkit an object's
// application runs, and the names a toolkit gives that are not what its widgets show.

#include <atspi/atspi.h>

#include <string>

namespace platform::linux_desktop {

/// Whether the application behind `object` runs GTK 4 or later, whose bridge measures every extent from the
/// window's content (whatever coordinate type is asked for) and names unlabelled widgets by their type.
/// Asked once per application; false when the application does not answer.
bool runsGtk4(AtspiAccessible* object);

/// Whether the application behind `object` runs GTK 3, whose pop-overs draw their items as model buttons that
/// the rules of atspi_menu_press.cc choose with the pointer. Asked once per application; false when the
/// application does not answer.
bool runsGtk3(AtspiAccessible* object);

/// Whether the application behind `object` is a Java program seen through the ATK wrapper (Swing and AWT),
/// whose menus and pop-up windows are measured and chosen by the rules of atspi_java.h. Asked once per
/// application; false when the application does not answer.
bool runsJava(AtspiAccessible* object);

/// The name as the widget shows it. GTK 4.8 joins a widget's label and the names of the objects labelling
/// it, which for a button are its own label: "7 7" for a button that shows "7"; such a name gives the label
/// once. GTK 4 names a widget that nothing labels after its type ("GtkMenuButton", "AdwGizmo"): that is no
/// name. Other toolkits' names are kept as they are.
std::string shownName(AtspiAccessible* object, std::string name);

/// Whether `name` is two equal halves around a space ("7 7"): the names for which `shownName` reads what
/// labels a GTK 4 widget.
bool repeatsItsHalf(const std::string& name);

}  // namespace platform::linux_desktop
