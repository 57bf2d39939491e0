#include "platform/linux/wayland/mutter_monitors.h"

#include <cmath>
#include <exception>
#include <map>
#include <string>
#include <utility>

#include "platform/linux/wayland/mutter_bus.h"

namespace platform::linux_desktop {
namespace {

// The current mode's size of each monitor, by its connector.
std::map<std::string, std::pair<int, int>> currentModes(GVariant* monitors) {
    std::map<std::string, std::pair<int, int>> sizes;
    GVariantIter monitorIter;
    g_variant_iter_init(&monitorIter, monitors);
    GVariant* monitor = nullptr;
    while ((monitor = g_variant_iter_next_value(&monitorIter))) {
        const gchar* connector = nullptr;
        GVariant* modes = nullptr;
        g_variant_get(monitor, "((&s&s&s&s)@a(siiddada{sv})@a{sv})", &connector, nullptr, nullptr, nullptr, &modes,
                      nullptr);
        GVariantIter modeIter;
        g_variant_iter_init(&modeIter, modes);
        GVariant* mode = nullptr;
        while ((mode = g_variant_iter_next_value(&modeIter))) {
            gint32 width = 0, height = 0;
            GVariant* properties = nullptr;
            g_variant_get(mode, "(&siidd@ad@a{sv})", nullptr, &width, &height, nullptr, nullptr, nullptr, &properties);
            gboolean current = false;
            if (g_variant_lookup(properties, "is-current", "b", &current) && current)
                sizes[connector] = {width, height};
            g_variant_unref(properties);
            g_variant_unref(mode);
        }
        g_variant_unref(modes);
        g_variant_unref(monitor);
    }
    return sizes;
}

}  // namespace

std::vector<ShareableDisplay> mutterMonitors() {
    std::vector<ShareableDisplay> displays;
    BusConnection bus = connectSessionBus();
    if (!bus) return displays;
    GVariant* state = nullptr;
    try {
        state = callMutter(bus.get(), kDisplayConfigName, "/org/gnome/Mutter/DisplayConfig",
                           "org.gnome.Mutter.DisplayConfig", "GetCurrentState", nullptr, nullptr);
    } catch (const std::exception&) {
        return displays;
    }
    GVariant* monitors = g_variant_get_child_value(state, 1);
    GVariant* logical = g_variant_get_child_value(state, 2);
    const auto sizes = currentModes(monitors);
    GVariantIter iter;
    g_variant_iter_init(&iter, logical);
    GVariant* entry = nullptr;
    uint32_t index = 0;
    while ((entry = g_variant_iter_next_value(&iter))) {
        gint32 x = 0, y = 0;
        gdouble scale = 1;
        gboolean primary = false;
        GVariant* members = nullptr;
        g_variant_get(entry, "(iidub@a(ssss)@a{sv})", &x, &y, &scale, nullptr, &primary, &members, nullptr);
        GVariant* first = g_variant_n_children(members) ? g_variant_get_child_value(members, 0) : nullptr;
        if (first) {
            const gchar* connector = nullptr;
            g_variant_get(first, "(&s&s&s&s)", &connector, nullptr, nullptr, nullptr);
            if (const auto size = sizes.find(connector); size != sizes.end()) {
                const double points = scale > 0 ? scale : 1;
                displays.push_back({++index,
                                    {double(x), double(y), std::round(size->second.first / points),
                                     std::round(size->second.second / points)},
                                    bool(primary)});
            }
            g_variant_unref(first);
        }
        g_variant_unref(members);
        g_variant_unref(entry);
    }
    g_variant_unref(logical);
    g_variant_unref(monitors);
    g_variant_unref(state);
    return displays;
}

}  // namespace platform::linux_desktop
