#include "atspi_reader.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <deque>

namespace stepstest {
namespace {

void ensureReady() {
    static const bool ready = [] {
        atspi_init();
        atspi_set_timeout(3000, 3000);
        return true;
    }();
    (void)ready;
}

std::string takeString(gchar* text) {
    std::string copy = text ? text : "";
    g_free(text);
    return copy;
}

}  // namespace

Accessible::~Accessible() {
    if (object_) g_object_unref(object_);
}

Accessible& Accessible::operator=(Accessible&& other) noexcept {
    if (this != &other) {
        if (object_) g_object_unref(object_);
        object_ = other.object_;
        other.object_ = nullptr;
    }
    return *this;
}

Accessible applicationOf(pid_t pid, double timeoutSeconds) {
    ensureReady();
    const double deadline = nowSeconds() + timeoutSeconds;
    for (;;) {
        AtspiAccessible* desktop = atspi_get_desktop(0);
        const gint count = atspi_accessible_get_child_count(desktop, nullptr);
        for (gint i = 0; i < count; ++i) {
            AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
            if (!app) continue;
            if (static_cast<pid_t>(atspi_accessible_get_process_id(app, nullptr)) == pid) {
                g_object_unref(desktop);
                return Accessible(app);
            }
            g_object_unref(app);
        }
        g_object_unref(desktop);
        if (nowSeconds() >= deadline) return Accessible();
        pauseSeconds(0.2);
    }
}

Accessible findObject(const Accessible& root, const std::string& role, const std::string& name, int budget) {
    if (!root) return Accessible();
    std::deque<AtspiAccessible*> queue{static_cast<AtspiAccessible*>(g_object_ref(root.get()))};
    AtspiAccessible* found = nullptr;
    for (int examined = 0; !queue.empty() && examined < budget && !found; ++examined) {
        AtspiAccessible* object = queue.front();
        queue.pop_front();
        const std::string itsRole = takeString(atspi_accessible_get_role_name(object, nullptr));
        const std::string itsName = takeString(atspi_accessible_get_name(object, nullptr));
        if (itsRole == role && itsName.find(name) != std::string::npos) {
            found = object;
            break;
        }
        const gint count = atspi_accessible_get_child_count(object, nullptr);
        for (gint i = 0; i < count; ++i)
            if (AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, nullptr))
                queue.push_back(child);
        g_object_unref(object);
    }
    for (AtspiAccessible* left : queue) g_object_unref(left);
    return Accessible(found);
}

std::vector<Accessible> findAll(const Accessible& root, const std::string& role, int budget) {
    std::vector<Accessible> found;
    if (!root) return found;
    std::deque<AtspiAccessible*> queue{static_cast<AtspiAccessible*>(g_object_ref(root.get()))};
    for (int examined = 0; !queue.empty() && examined < budget; ++examined) {
        AtspiAccessible* object = queue.front();
        queue.pop_front();
        const gint count = atspi_accessible_get_child_count(object, nullptr);
        for (gint i = 0; i < count; ++i)
            if (AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, nullptr))
                queue.push_back(child);
        if (takeString(atspi_accessible_get_role_name(object, nullptr)) == role)
            found.emplace_back(object);
        else
            g_object_unref(object);
    }
    for (AtspiAccessible* left : queue) g_object_unref(left);
    return found;
}

std::string labelOf(const Accessible& object) {
    std::string label;
    if (!object) return label;
    GArray* relations = atspi_accessible_get_relation_set(object.get(), nullptr);
    if (!relations) return label;
    for (guint i = 0; i < relations->len; ++i) {
        AtspiRelation* relation = g_array_index(relations, AtspiRelation*, i);
        if (atspi_relation_get_relation_type(relation) == ATSPI_RELATION_LABELLED_BY) {
            for (gint t = 0; t < atspi_relation_get_n_targets(relation); ++t) {
                AtspiAccessible* target = atspi_relation_get_target(relation, t);
                if (!target) continue;
                label += (label.empty() ? "" : " ") + takeString(atspi_accessible_get_name(target, nullptr));
                g_object_unref(target);
            }
        }
        g_object_unref(relation);
    }
    g_array_free(relations, TRUE);
    return label;
}

std::optional<std::string> textOf(const Accessible& object) {
    if (!object) return std::nullopt;
    AtspiText* text = atspi_accessible_get_text_iface(object.get());
    if (!text) return std::nullopt;
    GError* error = nullptr;
    // Up to the character count: GTK 4.8 answers "up to the end" (-1) with nothing.
    const gint count = atspi_text_get_character_count(text, &error);
    if (error) {
        g_error_free(error);
        error = nullptr;
    }
    gchar* content = atspi_text_get_text(text, 0, count > 0 ? count : -1, &error);
    g_object_unref(text);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    return takeString(content);
}

namespace {
bool inState(const Accessible& object, AtspiStateType state) {
    if (!object) return false;
    AtspiStateSet* states = atspi_accessible_get_state_set(object.get());
    if (!states) return false;
    const bool in = atspi_state_set_contains(states, state);
    g_object_unref(states);
    return in;
}
}  // namespace

bool isChecked(const Accessible& object) {
    return inState(object, ATSPI_STATE_CHECKED);
}

std::vector<std::string> textsOf(pid_t pid) {
    std::vector<std::string> texts;
    const Accessible app = applicationOf(pid);
    for (const auto& each : findAll(app, "text")) texts.push_back(textOf(each).value_or(""));
    return texts;
}

bool holdsText(pid_t pid, const std::string& text) {
    const auto texts = textsOf(pid);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

bool isShowing(const Accessible& object) {
    return inState(object, ATSPI_STATE_SHOWING);
}

bool isSelected(const Accessible& object) {
    return inState(object, ATSPI_STATE_SELECTED);
}

bool isFocused(const Accessible& object) {
    return inState(object, ATSPI_STATE_FOCUSED);
}

std::optional<Extents> screenExtentsOf(const Accessible& object) {
    if (!object) return std::nullopt;
    AtspiComponent* component = atspi_accessible_get_component_iface(object.get());
    if (!component) return std::nullopt;
    AtspiRect* rect = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
    g_object_unref(component);
    if (!rect) return std::nullopt;
    const Extents extents{rect->x, rect->y, rect->width, rect->height};
    g_free(rect);
    return extents;
}

}  // namespace stepstest
