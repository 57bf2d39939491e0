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

/// The children in order (new references); nothing when they cannot be read. `knownCount` saves asking for
/// their number when it was just fetched.
std::optional<std::vector<AtspiAccessible*>> readChildren(AtspiAccessible* object,
                                                          std::optional<int> knownCount = std::nullopt);

/// The names of the objects that label `object` (its "labelled-by" relation), joined by a space.
std::optional<std::string> readLabelledBy(AtspiAccessible* object);

/// The process id of the application that owns `object`.
std::optional<int> readProcessId(AtspiAccessible* object);

}  // namespace platform::linux_desktop
