#include "platform/linux/bus/atspi_top_levels.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <cstdlib>

#include "platform/linux/bus/window_shadow.h"
#include "platform/linux/main_context_turn.h"

namespace platform::linux_desktop {
namespace {

constexpr int kCallTimeoutMs = 1500;
constexpr int kMaxApplications = 256;
constexpr int kMaxWindowsPerApplication = 64;
constexpr int kBusyApplicationAttempts = 4;  // at kCallTimeoutMs each: 6 s at the most

bool isTopLevelRole(AtspiRole role) {
    return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG ||
           role == ATSPI_ROLE_FILE_CHOOSER || role == ATSPI_ROLE_ALERT;
}

std::string nameOf(AtspiAccessible* object) {
    GError* error = nullptr;
    gchar* name = atspi_accessible_get_name(object, &error);
    if (error) g_error_free(error);
    std::string text = name ? name : "";
    g_free(name);
    return text;
}

// FNV-1a of the object's bus name and path, kept below 2^53 so that a JSON reader keeps it exact.
uint64_t idOf(AtspiAccessible* object) {
    const AtspiObject& base = object->parent;
    std::string key = base.app && base.app->bus_name ? base.app->bus_name : "";
    key += '\n';
    key += base.path ? base.path : "";
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
    return (hash & ((uint64_t(1) << 53) - 1)) | 1;
}

bool connected() {
    static const bool ready = [] {
        if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) return false;
        atspi_init();
        atspi_set_timeout(kCallTimeoutMs, kCallTimeoutMs);
        return true;
    }();
    return ready;
}

// Reads `read` (an AT-SPI call that sets `error` when it fails) again while it times out, up to
// kBusyApplicationAttempts times: a program busy drawing under a loaded compositor (Mousepad on Wayland)
// leaves calls unanswered for a few seconds, and its windows would be missing from the list meanwhile. A
// call that fails at once (the object is gone) is not repeated.
template <typename Read>
auto readPatiently(Read read, decltype(read(nullptr)) failed) {
    for (int attempt = 0; attempt < kBusyApplicationAttempts; ++attempt) {
        GError* error = nullptr;
        const gint64 asked = g_get_monotonic_time();
        const auto value = read(&error);
        if (!error) return value;
        g_error_free(error);
        // libatspi gives every failed call the same error; one that took (nearly) the whole timeout had no
        // answer.
        const bool timedOut = g_get_monotonic_time() - asked >= gint64(kCallTimeoutMs) * 800;
        if (!timedOut) break;
    }
    return failed;
}

void addWindowsOf(AtspiAccessible* application, std::vector<TopLevel>& found) {
    const pid_t pid = readPatiently(
        [&](GError** error) { return pid_t(atspi_accessible_get_process_id(application, error)); }, pid_t(0));
    if (pid <= 0) return;
    const std::string applicationName = nameOf(application);
    const int count = std::min(
        readPatiently([&](GError** error) { return atspi_accessible_get_child_count(application, error); }, -1),
        kMaxWindowsPerApplication);
    for (int index = 0; index < count; ++index) {
        AtspiAccessible* window = readPatiently(
            [&](GError** error) { return atspi_accessible_get_child_at_index(application, index, error); },
            static_cast<AtspiAccessible*>(nullptr));
        if (!window) continue;
        const AtspiRole role = atspi_accessible_get_role(window, nullptr);
        AtspiStateSet* states = atspi_accessible_get_state_set(window);
        // A window just shown may not be mapped yet: it is visible before it is showing.
        const bool showing = states && (atspi_state_set_contains(states, ATSPI_STATE_SHOWING) ||
                                        atspi_state_set_contains(states, ATSPI_STATE_VISIBLE));
        const bool active = states && atspi_state_set_contains(states, ATSPI_STATE_ACTIVE);
        if (states) g_object_unref(states);
        AtspiComponent* component = isTopLevelRole(role) && showing ? atspi_accessible_get_component_iface(window)
                                                                    : nullptr;
        if (component) {
            AtspiRect* extents = atspi_component_get_extents(component, ATSPI_COORD_TYPE_WINDOW, nullptr);
            if (extents && extents->width > 0 && extents->height > 0) {
                const double width = extents->width, height = extents->height;
                const Rect visible = shadowFreePartOf(window).value_or(Rect{0, 0, width, height});
                found.push_back({idOf(window), pid, applicationName, nameOf(window), width, height, visible, active});
            }
            if (extents) g_free(extents);
            g_object_unref(component);
        }
        g_object_unref(window);
    }
}

}  // namespace

std::vector<TopLevel> atspiTopLevels() {
    std::vector<TopLevel> found;
    MainContextTurn turn;  // every reply must reach this thread, not the main loop
    if (!connected()) return found;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return found;
    const int count = std::min(atspi_accessible_get_child_count(desktop, nullptr), kMaxApplications);
    for (int index = 0; index < count; ++index) {
        if (AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, index, nullptr)) {
            addWindowsOf(application, found);
            g_object_unref(application);
        }
    }
    g_object_unref(desktop);
    return found;
}

std::string applicationToolkit(pid_t pid) {
    std::string toolkit;
    MainContextTurn turn;
    if (!connected()) return toolkit;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return toolkit;
    const int count = std::min(atspi_accessible_get_child_count(desktop, nullptr), kMaxApplications);
    for (int index = 0; index < count && toolkit.empty(); ++index) {
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, index, nullptr);
        if (!application) continue;
        if (pid_t(atspi_accessible_get_process_id(application, nullptr)) == pid) {
            gchar* name = atspi_accessible_get_toolkit_name(application, nullptr);
            toolkit = name ? name : "";
            g_free(name);
        }
        g_object_unref(application);
    }
    g_object_unref(desktop);
    return toolkit;
}

}  // namespace platform::linux_desktop
