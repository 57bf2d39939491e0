#include "platform/linux/atspi/atspi_prefetch.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <unordered_map>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_geometry.h"
#include "platform/linux/atspi/atspi_roles.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/atspi/atspi_toolkit.h"

// libatspi's own readers of replies (exported by libatspi 2.x, not in its public headers): the object of a
// (so) reference, with the same identity that libatspi's calls give it, and the interface list of an object.
extern "C" AtspiAccessible* _atspi_dbus_consume_accessible(DBusMessageIter* iter);
extern "C" void _atspi_dbus_set_interfaces(AtspiAccessible* accessible, DBusMessageIter* iter);
// Whether libatspi holds `flag`'s part of the object (its interfaces, its role) and would answer without asking.
extern "C" gboolean _atspi_accessible_test_cache(AtspiAccessible* accessible, AtspiCache flag);

namespace platform::linux_desktop {
namespace {

// Requests in flight at once on a connection: enough to hide the round trips, few enough for the bus's
// limits on pending replies.
constexpr size_t kRequestsInFlight = 256;
// Objects fetched ahead at most, whatever the walk's limits.
constexpr long kMostObjects = 20000;

// GetActions is not asked: its names are the localized ones (empty for some GTK objects), where a read takes
// each action's own name (GetName). The number of actions is a property (NActions), as libatspi reads it: the
// Action interface has no method for it. `textLength` and `textUpTo` follow a text that came back empty.
enum class Ask {
    role, properties, childCount, children, states, interfaces, extents, actionCount, actionName, text, textLength, textUpTo,
    relations
};

struct Request {
    AtspiAccessible* object;
    Ask ask;
    int index = 0;  // of the action, for actionName; the character count, for textUpTo
};

struct ObjectState {
    PrefetchedObject answers;
    std::optional<std::set<std::string>> interfaces;
    std::optional<int> actionCount;
    bool actionsFailed = false;
    bool extentsFailed = false;
    std::optional<int> textLength;  // asked when the whole text came back empty
    long depth = 0;                 // below the walk's root
};

struct Table {
    std::unordered_map<AtspiAccessible*, ObjectState> objects;
    std::vector<AtspiAccessible*> held;  // references taken for the table's life
};

Table* current = nullptr;

// Requests an application did not understand (an unknown method), by bus name: not asked again.
std::map<std::string, std::set<Ask>>& notUnderstood() {
    static std::map<std::string, std::set<Ask>> asks;
    return asks;
}

DBusMessage* messageFor(const Request& request) {
    const AtspiObject* base = ATSPI_OBJECT(request.object);
    const char* destination = base->app->bus_name;
    const char* path = base->path;
    auto call = [&](const char* interface, const char* method) {
        return dbus_message_new_method_call(destination, path, interface, method);
    };
    DBusMessage* message = nullptr;
    switch (request.ask) {
        case Ask::role: return call("org.a11y.atspi.Accessible", "GetRole");
        case Ask::children: return call("org.a11y.atspi.Accessible", "GetChildren");
        case Ask::states: return call("org.a11y.atspi.Accessible", "GetState");
        case Ask::interfaces: return call("org.a11y.atspi.Accessible", "GetInterfaces");
        case Ask::relations: return call("org.a11y.atspi.Accessible", "GetRelationSet");
        case Ask::childCount:
        case Ask::actionCount:
        case Ask::textLength: {
            message = call("org.freedesktop.DBus.Properties", "Get");
            const char* interface = request.ask == Ask::actionCount ? "org.a11y.atspi.Action"
                                    : request.ask == Ask::textLength ? "org.a11y.atspi.Text"
                                                                     : "org.a11y.atspi.Accessible";
            const char* property = request.ask == Ask::actionCount ? "NActions"
                                   : request.ask == Ask::textLength ? "CharacterCount"
                                                                    : "ChildCount";
            if (message)
                dbus_message_append_args(message, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                                         DBUS_TYPE_INVALID);
            return message;
        }
        case Ask::actionName: {
            message = call("org.a11y.atspi.Action", "GetName");
            const dbus_int32_t index = request.index;
            if (message) dbus_message_append_args(message, DBUS_TYPE_INT32, &index, DBUS_TYPE_INVALID);
            return message;
        }
        case Ask::properties: {
            message = call("org.freedesktop.DBus.Properties", "GetAll");
            const char* interface = "org.a11y.atspi.Accessible";
            if (message) dbus_message_append_args(message, DBUS_TYPE_STRING, &interface, DBUS_TYPE_INVALID);
            return message;
        }
        case Ask::extents: {
            message = call("org.a11y.atspi.Component", "GetExtents");
            const dbus_uint32_t screen = ATSPI_COORD_TYPE_SCREEN;
            if (message) dbus_message_append_args(message, DBUS_TYPE_UINT32, &screen, DBUS_TYPE_INVALID);
            return message;
        }
        case Ask::text:
        case Ask::textUpTo: {
            message = call("org.a11y.atspi.Text", "GetText");
            const dbus_int32_t start = 0, end = request.ask == Ask::text ? -1 : request.index;
            if (message)
                dbus_message_append_args(message, DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID);
            return message;
        }
    }
    return nullptr;
}

// The 32-bit integer in a Properties.Get reply (a variant).
std::optional<int> integerFrom(DBusMessage* reply) {
    DBusMessageIter top, variant;
    if (!dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_VARIANT)
        return std::nullopt;
    dbus_message_iter_recurse(&top, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_INT32) return std::nullopt;
    dbus_int32_t value = 0;
    dbus_message_iter_get_basic(&variant, &value);
    return value;
}

std::optional<std::vector<AtspiAccessible*>> childrenFrom(DBusMessage* reply) {
    DBusMessageIter top, items;
    if (!dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
        return std::nullopt;
    std::vector<AtspiAccessible*> children;
    dbus_message_iter_recurse(&top, &items);
    while (dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRUCT) {
        // A null reference gives no object; the walk skips it as it skips a child that cannot be read.
        if (AtspiAccessible* child = _atspi_dbus_consume_accessible(&items)) children.push_back(child);
    }
    return children;
}

// The targets of the "labelled-by" relations in a GetRelationSet reply, a(ua(so)): each relation's type and
// its objects.
std::optional<std::vector<AtspiAccessible*>> labelledByFrom(DBusMessage* reply) {
    DBusMessageIter top, relations;
    if (!dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
        return std::nullopt;
    std::vector<AtspiAccessible*> targets;
    for (dbus_message_iter_recurse(&top, &relations); dbus_message_iter_get_arg_type(&relations) == DBUS_TYPE_STRUCT;
         dbus_message_iter_next(&relations)) {
        DBusMessageIter relation, objects;
        dbus_message_iter_recurse(&relations, &relation);
        if (dbus_message_iter_get_arg_type(&relation) != DBUS_TYPE_UINT32) return std::nullopt;
        dbus_uint32_t type = 0;
        dbus_message_iter_get_basic(&relation, &type);
        if (!dbus_message_iter_next(&relation) || dbus_message_iter_get_arg_type(&relation) != DBUS_TYPE_ARRAY)
            return std::nullopt;
        if (type != ATSPI_RELATION_LABELLED_BY) continue;
        dbus_message_iter_recurse(&relation, &objects);
        while (dbus_message_iter_get_arg_type(&objects) == DBUS_TYPE_STRUCT)
            if (AtspiAccessible* target = _atspi_dbus_consume_accessible(&objects)) targets.push_back(target);
    }
    return targets;
}

std::optional<std::vector<AtspiStateType>> statesFrom(DBusMessage* reply) {
    DBusMessageIter top, words;
    if (!dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
        return std::nullopt;
    dbus_message_iter_recurse(&top, &words);
    std::vector<AtspiStateType> states;
    for (int word = 0; word < 2 && dbus_message_iter_get_arg_type(&words) == DBUS_TYPE_UINT32; ++word) {
        dbus_uint32_t bits = 0;
        dbus_message_iter_get_basic(&words, &bits);
        for (int bit = 0; bit < 32; ++bit)
            if (bits & (1u << bit)) states.push_back(static_cast<AtspiStateType>(word * 32 + bit));
        dbus_message_iter_next(&words);
    }
    return states;
}

std::optional<std::set<std::string>> interfacesFrom(AtspiAccessible* object, DBusMessage* reply) {
    DBusMessageIter top, names;
    if (!dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
        return std::nullopt;
    std::set<std::string> interfaces;
    dbus_message_iter_recurse(&top, &names);
    while (dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING) {
        const char* name = nullptr;
        dbus_message_iter_get_basic(&names, &name);
        if (name) interfaces.insert(name);
        dbus_message_iter_next(&names);
    }
    // libatspi keeps the list too, so that its own interface lookups need not ask for it.
    _atspi_dbus_set_interfaces(object, &top);
    return interfaces;
}

// Stores the answer to `request`; false when the application let it time out.
bool take(const Request& request, DBusMessage* reply, ObjectState& state, std::vector<AtspiAccessible*>& held) {
    if (!reply) return false;
    if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR) {
        const char* name = dbus_message_get_error_name(reply);
        if (name && std::strcmp(name, DBUS_ERROR_NO_REPLY) == 0) return false;
        const bool everyObjectHasIt = request.ask == Ask::role || request.ask == Ask::children ||
                                      request.ask == Ask::states || request.ask == Ask::interfaces;
        if (name && std::strcmp(name, DBUS_ERROR_UNKNOWN_METHOD) == 0 && everyObjectHasIt)
            notUnderstood()[busNameOf(request.object)].insert(request.ask);
        if (request.ask == Ask::actionCount || request.ask == Ask::actionName) state.actionsFailed = true;
        if (request.ask == Ask::extents) state.extentsFailed = true;
        return true;
    }
    PrefetchedObject& answers = state.answers;
    switch (request.ask) {
        case Ask::role: {
            dbus_uint32_t role = 0;
            if (dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &role, DBUS_TYPE_INVALID) &&
                role != ATSPI_ROLE_INVALID)
                answers.role = static_cast<AtspiRole>(role);
            break;
        }
        case Ask::properties: {
            AccessibleProperties properties;
            parseAccessibleProperties(reply, properties);
            answers.properties = properties;
            // No children: nothing to ask for.
            if (properties.childCount == 0) answers.children = std::vector<AtspiAccessible*>{};
            break;
        }
        case Ask::childCount: {
            const auto count = integerFrom(reply);
            if (count && *count >= 0) answers.childCount = *count;
            if (count == 0) answers.children = std::vector<AtspiAccessible*>{};
            break;
        }
        case Ask::children:
            answers.children = childrenFrom(reply);
            if (answers.children) held.insert(held.end(), answers.children->begin(), answers.children->end());
            break;
        case Ask::states: answers.states = statesFrom(reply); break;
        case Ask::relations:
            answers.labelledBy = labelledByFrom(reply);
            if (answers.labelledBy) held.insert(held.end(), answers.labelledBy->begin(), answers.labelledBy->end());
            break;
        case Ask::interfaces: state.interfaces = interfacesFrom(request.object, reply); break;
        case Ask::extents: {
            DBusMessageIter top, fields;
            dbus_int32_t numbers[4] = {0, 0, 0, 0};
            if (!dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_STRUCT)
                break;
            dbus_message_iter_recurse(&top, &fields);
            for (int i = 0; i < 4; ++i) {
                if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_INT32) return true;
                dbus_message_iter_get_basic(&fields, &numbers[i]);
                dbus_message_iter_next(&fields);
            }
            answers.extents.emplace(extentsFrom(numbers[0], numbers[1], numbers[2], numbers[3]));
            break;
        }
        case Ask::actionCount: {
            const auto count = integerFrom(reply);
            if (count && *count >= 0) {
                state.actionCount = *count;
                answers.actionNames = std::vector<std::string>(static_cast<size_t>(*count));
            } else {
                state.actionsFailed = true;
            }
            break;
        }
        case Ask::actionName: {
            const char* name = nullptr;
            if (answers.actionNames && request.index < static_cast<int>(answers.actionNames->size()) &&
                dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
                (*answers.actionNames)[static_cast<size_t>(request.index)] = name ? name : "";
            else
                state.actionsFailed = true;
            break;
        }
        case Ask::text:
        case Ask::textUpTo: {
            // An empty whole text is kept only once the character count says it is empty (the read's rule,
            // atspi_reads.cc): the count is asked next.
            const char* text = nullptr;
            if (!dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID)) break;
            if (request.ask == Ask::text && (!text || !*text))
                state.textLength = -1;
            else
                answers.text.emplace(std::string(text ? text : ""));
            break;
        }
        case Ask::textLength: {
            const auto count = integerFrom(reply);
            if (!count) break;
            if (*count > 0)
                state.textLength = *count;
            else
                answers.text.emplace(std::string());
            break;
        }
    }
    return true;
}

// Sends `requests` with up to kRequestsInFlight of them waiting for answers at once and stores the answers;
// false when the application stopped answering (what is still in flight is then cancelled).
bool askAll(const std::vector<Request>& requests, Table& table) {
    MainContextTurn turn;  // the replies must reach this thread, not the main loop
    struct InFlight {
        size_t index;
        DBusPendingCall* pending;
    };
    std::deque<InFlight> inFlight;
    size_t next = 0;
    bool answering = true;
    while (next < requests.size() || !inFlight.empty()) {
        while (answering && next < requests.size() && inFlight.size() < kRequestsInFlight) {
            const Request& request = requests[next];
            DBusConnection* bus = ATSPI_OBJECT(request.object)->app->bus;
            DBusMessage* message = messageFor(request);
            DBusPendingCall* pending = nullptr;
            if (message && dbus_connection_send_with_reply(bus, message, &pending, kAtspiCallTimeoutMs) && pending)
                inFlight.push_back({next, pending});
            if (message) dbus_message_unref(message);
            ++next;
            if (inFlight.size() == kRequestsInFlight || next == requests.size()) dbus_connection_flush(bus);
        }
        if (!answering) {
            // libdbus times each blocked call from when the wait begins, so the requests still in flight are
            // cancelled, not waited for one timeout each.
            for (const InFlight& each : inFlight) {
                dbus_pending_call_cancel(each.pending);
                dbus_pending_call_unref(each.pending);
            }
            break;
        }
        if (inFlight.empty()) break;
        const InFlight oldest = inFlight.front();
        inFlight.pop_front();
        dbus_pending_call_block(oldest.pending);
        DBusMessage* reply = dbus_pending_call_steal_reply(oldest.pending);
        dbus_pending_call_unref(oldest.pending);
        const Request& request = requests[oldest.index];
        if (answering && !take(request, reply, table.objects[request.object], table.held)) {
            // Counted as one unanswered call: the application gets the quiet period of any other.
            detail::noteIfUnanswered(request.object, detail::nowSeconds() - kAtspiCallTimeoutMs / 1000.0 - 0.01);
            answering = false;
        }
        if (reply) dbus_message_unref(reply);
    }
    return answering;
}

bool understood(AtspiAccessible* object, Ask ask) {
    const auto found = notUnderstood().find(busNameOf(object));
    return found == notUnderstood().end() || !found->second.contains(ask);
}

// The interfaces this fetch looks at that libatspi already knows `object` to have; it answers from what it
// holds (_atspi_accessible_test_cache), without asking the application.
template <typename Interface>
void noteInterface(std::set<std::string>& interfaces, Interface* found, const char* name) {
    if (!found) return;
    interfaces.insert(name);
    g_object_unref(found);
}

std::set<std::string> knownInterfaces(AtspiAccessible* object) {
    std::set<std::string> interfaces{"org.a11y.atspi.Accessible"};
    noteInterface(interfaces, atspi_accessible_get_action_iface(object), "org.a11y.atspi.Action");
    noteInterface(interfaces, atspi_accessible_get_component_iface(object), "org.a11y.atspi.Component");
    noteInterface(interfaces, atspi_accessible_get_text_iface(object), "org.a11y.atspi.Text");
    return interfaces;
}

bool has(const ObjectState& state, const char* interface) {
    return state.interfaces && state.interfaces->contains(interface);
}

// Settles what the answers mean once the interface list is known: a request that failed on an object without
// the interface is answered "none", one that failed on an object with it is left to the read.
void settle(ObjectState& state) {
    if (!state.interfaces) return;
    PrefetchedObject& answers = state.answers;
    if (!has(state, "org.a11y.atspi.Action")) answers.actionNames = std::vector<std::string>{};
    else if (state.actionsFailed) answers.actionNames.reset();
    if (!has(state, "org.a11y.atspi.Component")) answers.extents.emplace(std::nullopt);
    else if (state.extentsFailed) answers.extents.reset();
    if (!has(state, "org.a11y.atspi.Text")) answers.text.emplace(std::nullopt);
}

// Whether the walk goes below `state`'s object: it lists only children that are showing, and a window's
// menu bar belongs to the application.
bool walkedBelow(const ObjectState& state) {
    const auto& states = state.answers.states;
    if (!states || !hasState(*states, ATSPI_STATE_VISIBLE) || hasState(*states, ATSPI_STATE_DEFUNCT)) return false;
    return state.answers.role != ATSPI_ROLE_MENU_BAR;
}

}  // namespace

void prefetchSubtree(AtspiAccessible* root, long maxObjects, long maxDepth) {
    dropPrefetched();
    const AtspiObject* base = ATSPI_OBJECT(root);
    if (!root || !base->app || !base->app->bus || !base->app->bus_name || !base->path) return;
    if (!detail::mayCall(root)) return;
    current = new Table;
    const long budget = std::min(maxObjects, kMostObjects);
    const bool getAll = answersPropertiesGetAll(root);
    // GTK 4 names a widget after what labels it too ("7 7"); the read of such a name asks what labels it.
    const bool namesRepeatLabels = runsGtk4(root);

    // Four rounds of requests per object, each needing the answers of the one before: (1) role, states,
    // interfaces, properties; (2) children (unless the properties say there are none), extents, the number of
    // actions and text, of objects with those interfaces, and the relations of a GTK 4 widget whose name
    // repeats its label; (3) the name of each action, and the length of a text that came back empty; (4) a
    // text that came back empty, up to that length. A tree level's rounds go out together with the rounds of
    // the levels above and below it: one exchange per level and round in flight at once.
    const auto firstAsks = [&](const std::vector<AtspiAccessible*>& objects, std::vector<Request>& requests) {
        for (AtspiAccessible* object : objects) {
            for (Ask ask : {Ask::role, Ask::states})
                if (understood(object, ask)) requests.push_back({object, ask});
            // An object's interfaces do not change over its life: libatspi keeps them once asked (by an
            // earlier walk or read), and they are not asked again.
            if (_atspi_accessible_test_cache(object, ATSPI_CACHE_INTERFACES))
                current->objects[object].interfaces = knownInterfaces(object);
            else if (understood(object, Ask::interfaces))
                requests.push_back({object, Ask::interfaces});
            if (getAll) requests.push_back({object, Ask::properties});
            else requests.push_back({object, Ask::childCount});
        }
    };
    const auto secondAsks = [&](const std::vector<AtspiAccessible*>& objects, std::vector<Request>& requests) {
        for (AtspiAccessible* object : objects) {
            const ObjectState& state = current->objects[object];
            const auto& properties = state.answers.properties;
            // Children are asked only of an object whose count and states say they may be listed (a sheet of
            // two billion cells is not; atspi_reads.h); the walk reads the others as the bounds allow.
            const int childCount = properties ? properties->childCount : state.answers.childCount.value_or(-1);
            const bool childless = childCount == 0;
            const bool listable = childCount >= 0 && childrenMayBeListed(childCount, state.answers.states);
            if (state.depth < maxDepth && !childless && listable && understood(object, Ask::children))
                requests.push_back({object, Ask::children});
            if (has(state, "org.a11y.atspi.Component")) requests.push_back({object, Ask::extents});
            if (has(state, "org.a11y.atspi.Action")) requests.push_back({object, Ask::actionCount});
            if (state.answers.role && isTextRole(*state.answers.role) && has(state, "org.a11y.atspi.Text"))
                requests.push_back({object, Ask::text});
            if (namesRepeatLabels && properties && repeatsItsHalf(properties->name))
                requests.push_back({object, Ask::relations});
        }
    };
    const auto thirdAsks = [&](const std::vector<AtspiAccessible*>& objects, std::vector<Request>& requests) {
        for (AtspiAccessible* object : objects) {
            const ObjectState& state = current->objects[object];
            for (int index = 0; index < state.actionCount.value_or(0); ++index)
                requests.push_back({object, Ask::actionName, index});
            if (state.textLength == -1) requests.push_back({object, Ask::textLength});
        }
    };
    const auto fourthAsks = [&](const std::vector<AtspiAccessible*>& objects, std::vector<Request>& requests) {
        for (AtspiAccessible* object : objects) {
            const ObjectState& state = current->objects[object];
            if (state.textLength > 0) requests.push_back({object, Ask::textUpTo, *state.textLength});
        }
    };

    std::vector<AtspiAccessible*> level{static_cast<AtspiAccessible*>(g_object_ref(root))};
    current->held.push_back(level.front());
    current->objects[root].depth = 0;
    // The levels waiting for their second, third and fourth rounds.
    std::vector<AtspiAccessible*> second, third, fourth;
    long fetched = 0;
    while (!level.empty() || !second.empty() || !third.empty() || !fourth.empty()) {
        std::vector<Request> requests;
        firstAsks(level, requests);
        secondAsks(second, requests);
        thirdAsks(third, requests);
        fourthAsks(fourth, requests);
        if (!askAll(requests, *current)) {
            // The application stopped answering: nothing half fetched is kept.
            dropPrefetched();
            return;
        }
        for (AtspiAccessible* object : fourth) settle(current->objects[object]);

        // The children just fetched make the next level.
        fetched += static_cast<long>(level.size());
        std::vector<AtspiAccessible*> below;
        for (AtspiAccessible* object : second) {
            const ObjectState& state = current->objects[object];
            if (state.depth >= maxDepth || !state.answers.children) continue;
            if (object != root && !walkedBelow(state)) continue;
            for (AtspiAccessible* child : *state.answers.children) {
                if (current->objects.contains(child) || fetched + static_cast<long>(below.size()) >= budget) continue;
                current->objects[child].depth = state.depth + 1;
                below.push_back(child);
            }
        }
        fourth = std::move(third);
        third = std::move(second);
        second = std::move(level);
        level = std::move(below);
    }
}

void dropPrefetched() {
    if (!current) return;
    for (AtspiAccessible* object : current->held) g_object_unref(object);
    delete current;
    current = nullptr;
}

const PrefetchedObject* prefetched(AtspiAccessible* object) {
    if (!current) return nullptr;
    const auto found = current->objects.find(object);
    return found == current->objects.end() ? nullptr : &found->second.answers;
}

void AtspiAccessibility::walkBegins(const Element& root, long maxElements, long maxDepth) {
    // The walk also reads the states and roles of the children of the deepest elements it lists, and skips
    // children that are not showing: the prefetch goes one level deeper and fetches some more objects.
    windowPlacementsForWalk(true);
    prefetchSubtree(nodeOf(root).object(), 2 * maxElements + 64, maxDepth + 1);
}

void AtspiAccessibility::walkEnded() {
    dropPrefetched();
    windowPlacementsForWalk(false);
}

}  // namespace platform::linux_desktop
