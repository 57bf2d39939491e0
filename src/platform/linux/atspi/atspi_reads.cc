#include "platform/linux/atspi/atspi_reads.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>

#include "platform/linux/atspi/atspi_prefetch.h"
#include "platform/linux/atspi/atspi_session.h"

namespace platform::linux_desktop {
namespace {

bool isNull(const void* pointer) { return pointer == nullptr; }

// A string a libatspi call returned (owned), copied and freed.
std::optional<std::string> takeString(std::optional<gchar*> text) {
    if (!text) return std::nullopt;
    std::string copy = *text;
    g_free(*text);
    return copy;
}

}  // namespace

std::optional<std::string> readName(AtspiAccessible* object) {
    return takeString(atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_name(object, error); }, isNull));
}

std::optional<std::string> readDescription(AtspiAccessible* object) {
    return takeString(atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_description(object, error); }, isNull));
}

// The reply's a{sv} entries that are strings or 32-bit integers, into `properties`.
void parseAccessibleProperties(DBusMessage* reply, AccessibleProperties& properties) {
    DBusMessageIter top, entries;
    if (!dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY) return;
    for (dbus_message_iter_recurse(&top, &entries); dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY;
         dbus_message_iter_next(&entries)) {
        DBusMessageIter entry, variant;
        dbus_message_iter_recurse(&entries, &entry);
        if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING) continue;
        const char* key = nullptr;
        dbus_message_iter_get_basic(&entry, &key);
        if (!dbus_message_iter_next(&entry) || dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT) continue;
        dbus_message_iter_recurse(&entry, &variant);
        const int type = dbus_message_iter_get_arg_type(&variant);
        if (type == DBUS_TYPE_STRING) {
            const char* text = nullptr;
            dbus_message_iter_get_basic(&variant, &text);
            if (std::strcmp(key, "Name") == 0) properties.name = text ? text : "";
            else if (std::strcmp(key, "Description") == 0) properties.description = text ? text : "";
            else if (std::strcmp(key, "AccessibleId") == 0) properties.accessibleId = text ? text : "";
        } else if (type == DBUS_TYPE_INT32 && std::strcmp(key, "ChildCount") == 0) {
            dbus_int32_t count = 0;
            dbus_message_iter_get_basic(&variant, &count);
            properties.childCount = count;
        }
    }
}

// Whether the application behind `object` answers Properties.GetAll: GTK's bridge does; Qt 5's crashes on it
// (seen with qt5ct 1.5 on Qt 5.15), so only GTK applications are asked. Decided once per application.
bool answersPropertiesGetAll(AtspiAccessible* object) {
    static std::map<std::string, bool> byApplication;
    const std::string busName = busNameOf(object);
    if (const auto found = byApplication.find(busName); found != byApplication.end()) return found->second;
    AtspiAccessible* root = ATSPI_OBJECT(object)->app ? ATSPI_OBJECT(object)->app->root : nullptr;
    if (!root) return false;
    const auto toolkit = atspiCall(
        root, [&](GError** error) { return atspi_accessible_get_toolkit_name(root, error); },
        [](gchar* name) { return name == nullptr; });
    if (!toolkit) return false;  // asked again next time
    const bool gtk = g_ascii_strcasecmp(*toolkit, "gtk") == 0;
    g_free(*toolkit);
    byApplication[busName] = gtk;
    return gtk;
}

std::optional<AccessibleProperties> readAccessibleProperties(AtspiAccessible* object) {
    const AtspiObject* base = ATSPI_OBJECT(object);
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->properties) return ahead->properties;
    if (!base || !base->app || !base->app->bus || !base->app->bus_name || !base->path) return std::nullopt;
    if (!answersPropertiesGetAll(object)) return std::nullopt;
    const auto reply = atspiCall(
        object,
        [&](GError**) -> DBusMessage* {
            DBusMessage* request = dbus_message_new_method_call(base->app->bus_name, base->path,
                                                                "org.freedesktop.DBus.Properties", "GetAll");
            if (!request) return nullptr;
            const char* interface = "org.a11y.atspi.Accessible";
            dbus_message_append_args(request, DBUS_TYPE_STRING, &interface, DBUS_TYPE_INVALID);
            DBusError error;
            dbus_error_init(&error);
            DBusMessage* answer =
                dbus_connection_send_with_reply_and_block(base->app->bus, request, kAtspiCallTimeoutMs, &error);
            dbus_message_unref(request);
            dbus_error_free(&error);
            return answer;
        },
        [](DBusMessage* answer) { return answer == nullptr; });
    if (!reply) return std::nullopt;
    AccessibleProperties properties;
    parseAccessibleProperties(*reply, properties);
    dbus_message_unref(*reply);
    return properties;
}

std::optional<AtspiRole> readRole(AtspiAccessible* object) {
    return atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_role(object, error); },
        [](AtspiRole found) { return found == ATSPI_ROLE_INVALID; });
}

std::optional<std::string> readLocalizedRoleName(AtspiAccessible* object) {
    return takeString(atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_localized_role_name(object, error); }, isNull));
}

std::optional<std::string> readAccessibleId(AtspiAccessible* object) {
    return takeString(atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_accessible_id(object, error); }, isNull));
}

std::optional<std::string> readObjectAttribute(AtspiAccessible* object, const char* key) {
    const auto table = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_attributes(object, error); }, isNull);
    if (!table) return std::nullopt;
    std::optional<std::string> value;
    if (const auto* found = static_cast<const char*>(g_hash_table_lookup(*table, key))) value = found;
    g_hash_table_unref(*table);
    return value;
}

std::optional<std::vector<AtspiStateType>> readStates(AtspiAccessible* object) {
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->states) return ahead->states;
    const auto set = atspiCall(
        object, [&](GError**) { return atspi_accessible_get_state_set(object); }, isNull);
    if (!set) return std::nullopt;
    std::vector<AtspiStateType> states;
    if (GArray* array = atspi_state_set_get_states(*set)) {
        for (guint i = 0; i < array->len; ++i) states.push_back(g_array_index(array, AtspiStateType, i));
        g_array_free(array, TRUE);
    }
    g_object_unref(*set);
    return states;
}

bool hasState(const std::vector<AtspiStateType>& states, AtspiStateType state) {
    for (AtspiStateType each : states)
        if (each == state) return true;
    return false;
}

// The text is asked for up to offset -1 (the end). GTK 4.8 answers that with nothing, whatever the text, so
// an empty answer is checked against the character count and asked again up to it (a walk fetched ahead
// does the same).
std::optional<std::string> readText(AtspiAccessible* object) {
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->text) return *ahead->text;
    AtspiText* text = atspiInterface(object, atspi_accessible_get_text_iface);
    if (!text) return std::nullopt;
    auto content = takeString(atspiCall(
        object, [&](GError** error) { return atspi_text_get_text(text, 0, -1, error); }, isNull));
    if (content && content->empty()) {
        const auto count = atspiCall(
            object, [&](GError** error) { return atspi_text_get_character_count(text, error); },
            [](gint n) { return n < 0; });
        if (count && *count > 0)
            content = takeString(atspiCall(
                object, [&](GError** error) { return atspi_text_get_text(text, 0, *count, error); }, isNull));
    }
    g_object_unref(text);
    return content;
}

std::optional<double> readCurrentValue(AtspiAccessible* object) {
    AtspiValue* value = atspiInterface(object, atspi_accessible_get_value_iface);
    if (!value) return std::nullopt;
    auto current = atspiCall(
        object, [&](GError** error) { return atspi_value_get_current_value(value, error); },
        [](double) { return false; });
    g_object_unref(value);
    return current;
}

std::optional<Extents> extentsFrom(int x, int y, int width, int height) {
    Extents extents;
    if (x != INT_MIN && y != INT_MIN) extents.position = Point{static_cast<double>(x), static_cast<double>(y)};
    extents.size = Size{static_cast<double>(width), static_cast<double>(height)};
    if (width < 0 || height < 0) return std::nullopt;
    return extents;
}

std::optional<Extents> readExtents(AtspiAccessible* object) {
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->extents) return *ahead->extents;
    AtspiComponent* component = atspiInterface(object, atspi_accessible_get_component_iface);
    if (!component) return std::nullopt;
    const auto rect = atspiCall(
        object,
        [&](GError** error) { return atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, error); },
        isNull);
    g_object_unref(component);
    if (!rect) return std::nullopt;
    auto extents = extentsFrom((*rect)->x, (*rect)->y, (*rect)->width, (*rect)->height);
    g_free(*rect);
    return extents;
}

AtspiAccessible* readParent(AtspiAccessible* object) {
    return atspiCall(
               object, [&](GError** error) { return atspi_accessible_get_parent(object, error); },
               [](AtspiAccessible*) { return false; })
        .value_or(nullptr);
}

bool childrenMayBeListed(int childCount, const std::optional<std::vector<AtspiStateType>>& states) {
    if (childCount <= kMostManagedChildrenListed) return true;
    // States not known: the lower bound.
    if (!states || hasState(*states, ATSPI_STATE_MANAGES_DESCENDANTS)) return false;
    return childCount <= kMostChildrenListed;
}

namespace {

// Children left out by the last read of each object, by bus name and path (objects read within the bounds
// are not kept).
std::map<std::pair<std::string, std::string>, long>& leftOut() {
    static std::map<std::pair<std::string, std::string>, long> counts;
    return counts;
}

}  // namespace

long childrenLeftOut(AtspiAccessible* object) {
    const auto found = leftOut().find({busNameOf(object), objectPathOf(object)});
    return found == leftOut().end() ? 0 : found->second;
}

std::optional<std::vector<AtspiAccessible*>> readChildren(AtspiAccessible* object, std::optional<int> knownCount) {
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->children) {
        for (AtspiAccessible* child : *ahead->children) g_object_ref(child);
        return ahead->children;
    }
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->childCount && !knownCount)
        knownCount = ahead->childCount;
    const auto count = knownCount && *knownCount >= 0
                           ? knownCount
                           : atspiCall(
                                 object, [&](GError** error) { return atspi_accessible_get_child_count(object, error); },
                                 [](gint n) { return n < 0; });
    if (!count) return std::nullopt;
    const std::pair<std::string, std::string> key{busNameOf(object), objectPathOf(object)};
    leftOut().erase(key);
    if (!childrenMayBeListed(*count, *count > kMostManagedChildrenListed ? readStates(object) : std::nullopt)) {
        std::vector<AtspiAccessible*> visible = visibleCellsByPosition(object);
        leftOut()[key] = std::max<long>(0, *count - static_cast<long>(visible.size()));
        return visible;
    }
    std::vector<AtspiAccessible*> children;
    children.reserve(static_cast<size_t>(*count));
    for (gint index = 0; index < *count; ++index) {
        const auto child = atspiCall(
            object, [&](GError** error) { return atspi_accessible_get_child_at_index(object, index, error); },
            isNull);
        if (!child) {
            // A child that vanished while we read is skipped; an application that stopped answering ends it.
            if (!detail::mayCall(object)) break;
            continue;
        }
        children.push_back(*child);
    }
    return children;
}

std::optional<std::string> readLabelledBy(AtspiAccessible* object) {
    if (const PrefetchedObject* ahead = prefetched(object); ahead && ahead->labelledBy) {
        std::optional<std::string> label;
        for (AtspiAccessible* target : *ahead->labelledBy) {
            const PrefetchedObject* known = prefetched(target);
            auto name = known && known->properties ? std::optional(known->properties->name) : readName(target);
            if (name && !name->empty()) label = label ? *label + " " + *name : *name;
        }
        return label;
    }
    const auto relations = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_relation_set(object, error); }, isNull);
    if (!relations) return std::nullopt;
    std::optional<std::string> label;
    for (guint i = 0; i < (*relations)->len; ++i) {
        AtspiRelation* relation = g_array_index(*relations, AtspiRelation*, i);
        if (atspi_relation_get_relation_type(relation) != ATSPI_RELATION_LABELLED_BY) continue;
        const gint targets = atspi_relation_get_n_targets(relation);
        for (gint t = 0; t < targets; ++t) {
            AtspiAccessible* target = atspi_relation_get_target(relation, t);
            if (!target) continue;
            if (auto name = readName(target); name && !name->empty()) label = label ? *label + " " + *name : *name;
            g_object_unref(target);
        }
    }
    for (guint i = 0; i < (*relations)->len; ++i) g_object_unref(g_array_index(*relations, AtspiRelation*, i));
    g_array_free(*relations, TRUE);
    return label;
}

std::optional<int> readProcessId(AtspiAccessible* object) {
    const auto pid = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_process_id(object, error); },
        [](guint id) { return id == 0; });
    if (!pid) return std::nullopt;
    return static_cast<int>(*pid);
}

}  // namespace platform::linux_desktop
