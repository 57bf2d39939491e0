#pragma once
// Typed reads of one AT-SPI object, each a single bounded call; failure is an empty optional.

#include <atspi/atspi.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace platform::linux_desktop {

/// The accessible name ("" when the object has none).
std::optional<std::string> readName(AtspiAccessible* object);

/// The accessible description.
std::optional<std::string> readDescription(AtspiAccessible* object);

/// The object's role; nothing when the application does not answer or gives none.
std::optional<AtspiRole> readRole(AtspiAccessible* object);

/// The role's name in the user's language.
std::optional<std::string> readLocalizedRoleName(AtspiAccessible* object);

/// The accessible name, description, id and number of children, fetched together in one request
/// (org.freedesktop.DBus.Properties.GetAll); nothing when the application refuses it or does not answer.
struct AccessibleProperties {
    std::string name;
    std::string description;
    std::string accessibleId;
    int childCount = -1;
};
std::optional<AccessibleProperties> readAccessibleProperties(AtspiAccessible* object);

/// Whether the application behind `object` is asked for all properties at once (decided once per application).
bool answersPropertiesGetAll(AtspiAccessible* object);

/// The name, description, id and child count of a Properties.GetAll reply, into `properties`.
void parseAccessibleProperties(DBusMessage* reply, AccessibleProperties& properties);

/// The accessible id (set by the application's developer).
std::optional<std::string> readAccessibleId(AtspiAccessible* object);

/// The object attribute `key` (for example "placeholder-text").
std::optional<std::string> readObjectAttribute(AtspiAccessible* object, const char* key);

/// The states the object is in.
std::optional<std::vector<AtspiStateType>> readStates(AtspiAccessible* object);

/// True when `states` holds `state`.
bool hasState(const std::vector<AtspiStateType>& states, AtspiStateType state);

/// The whole text of the Text interface.
std::optional<std::string> readText(AtspiAccessible* object);

/// The current number of the Value interface.
std::optional<double> readCurrentValue(AtspiAccessible* object);

/// Extents in screen coordinates. A toolkit reports an object that is not on screen (a row scrolled out of
/// view, an item of a closed menu) at the smallest integer; such a position is absent, the size stays.
struct Extents {
    std::optional<Point> position;
    Size size;
};
std::optional<Extents> readExtents(AtspiAccessible* object);

/// The extents of a rectangle an application reported, by the rules above.
std::optional<Extents> extentsFrom(int x, int y, int width, int height);

/// The parent object (a new reference), or null.
AtspiAccessible* readParent(AtspiAccessible* object);

/// Children listed at most of one object. Toolkits make the children of a big table on demand: LibreOffice
/// Calc 7.4's sheet reports 2,147,483,647 cells and, asked for its children, builds that list on its main
/// thread, frozen for good. An object with more is never asked for its children.
inline constexpr int kMostChildrenListed = 10000;

/// Children listed at most of an object that manages its descendants (the MANAGES_DESCENDANTS state: it
/// makes them as they are asked for, as tables and tree tables do). GTK 3's list boxes carry the state with
/// a handful of real rows, which are listed.
inline constexpr int kMostManagedChildrenListed = 256;

/// Whether the children of an object with `childCount` children and the states `states` (absent: not
/// known) may be asked for, by the two bounds above.
bool childrenMayBeListed(int childCount, const std::optional<std::vector<AtspiStateType>>& states);

/// The children in order (new references); nothing when they cannot be read. `knownCount` saves asking for
/// their number when it was just fetched. An object whose children may not be asked for (above) gives the
/// children a person sees, found by position (atspi_visible_children.cc), and the number it left out is
/// kept for childrenLeftOut.
std::optional<std::vector<AtspiAccessible*>> readChildren(AtspiAccessible* object,
                                                          std::optional<int> knownCount = std::nullopt);

/// How many children the last readChildren of `object` left out by the bounds above (0: none).
long childrenLeftOut(AtspiAccessible* object);

/// The children of a table that show on screen, found by position: the cells under the table's visible
/// top-left and bottom-right corners give the range of rows and columns, whose cells are asked one by one
/// (at most kMostVisibleChildrenRead of them). Empty for an object without the Table and Component
/// interfaces or when the corners give no cell.
std::vector<AtspiAccessible*> visibleCellsByPosition(AtspiAccessible* object);

/// Cells read at most by visibleCellsByPosition: about a screenful of a spreadsheet.
inline constexpr int kMostVisibleChildrenRead = 256;

/// The names of the objects that label `object` (its "labelled-by" relation), joined by a space.
std::optional<std::string> readLabelledBy(AtspiAccessible* object);

/// The process id of the application that owns `object`.
std::optional<int> readProcessId(AtspiAccessible* object);

}  // namespace platform::linux_desktop
