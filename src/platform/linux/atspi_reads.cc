#include "platform/linux/atspi_reads.h"

#include <climits>

#include "platform/linux/atspi_session.h"

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

std::optional<std::string> readText(AtspiAccessible* object) {
    AtspiText* text = atspi_accessible_get_text_iface(object);
    if (!text) return std::nullopt;
    auto content = takeString(atspiCall(
        object, [&](GError** error) { return atspi_text_get_text(text, 0, -1, error); }, isNull));
    g_object_unref(text);
    return content;
}

std::optional<double> readCurrentValue(AtspiAccessible* object) {
    AtspiValue* value = atspi_accessible_get_value_iface(object);
    if (!value) return std::nullopt;
    auto current = atspiCall(
        object, [&](GError** error) { return atspi_value_get_current_value(value, error); },
        [](double) { return false; });
    g_object_unref(value);
    return current;
}

std::optional<Extents> readExtents(AtspiAccessible* object) {
    AtspiComponent* component = atspi_accessible_get_component_iface(object);
    if (!component) return std::nullopt;
    const auto rect = atspiCall(
        object,
        [&](GError** error) { return atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, error); },
        isNull);
    g_object_unref(component);
    if (!rect) return std::nullopt;
    Extents extents;
    if ((*rect)->x != INT_MIN && (*rect)->y != INT_MIN)
        extents.position = Point{static_cast<double>((*rect)->x), static_cast<double>((*rect)->y)};
    const bool sized = (*rect)->width >= 0 && (*rect)->height >= 0;
    extents.size = Size{static_cast<double>((*rect)->width), static_cast<double>((*rect)->height)};
    g_free(*rect);
    if (!sized) return std::nullopt;
    return extents;
}

AtspiAccessible* readParent(AtspiAccessible* object) {
    return atspiCall(
               object, [&](GError** error) { return atspi_accessible_get_parent(object, error); },
               [](AtspiAccessible*) { return false; })
        .value_or(nullptr);
}

std::optional<std::vector<AtspiAccessible*>> readChildren(AtspiAccessible* object) {
    const auto count = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_child_count(object, error); },
        [](gint n) { return n < 0; });
    if (!count) return std::nullopt;
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
