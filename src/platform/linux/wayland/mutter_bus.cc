#include "platform/linux/wayland/mutter_bus.h"

#include "base/capture_error.h"

namespace platform::linux_desktop {

bool busNameOwned(GDBusConnection* bus, const char* name) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                  G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs,
                                                  nullptr, &error);
    if (!reply) {
        g_error_free(error);
        return false;
    }
    gboolean owned = false;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

std::optional<int32_t> compositorProcessId() {
    const BusConnection bus = connectSessionBus();
    if (!bus) return std::nullopt;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", kScreenCastName), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs, nullptr, &error);
    if (!reply) {
        g_error_free(error);
        return std::nullopt;
    }
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    g_variant_unref(reply);
    return pid > 0 ? std::optional<int32_t>(int32_t(pid)) : std::nullopt;
}

bool compositorRunning() {
    const BusConnection bus = connectSessionBus();
    return bus && busNameOwned(bus.get(), kScreenCastName);
}

GVariant* callMutter(GDBusConnection* bus, const char* name, const std::string& path, const char* interface,
                     const char* method, GVariant* arguments, const GVariantType* replyType) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, name, path.c_str(), interface, method, arguments, replyType,
                                                  G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs, nullptr, &error);
    if (reply) return reply;
    std::string reason = error ? error->message : "no reply";
    if (error) g_error_free(error);
    throw CaptureError(std::string("Wayland: ") + interface + "." + method + " failed: " + reason, "external");
}

std::string mutterStringProperty(GDBusConnection* bus, const char* name, const std::string& path,
                                 const char* interface, const char* property) {
    GVariant* reply = callMutter(bus, name, path, "org.freedesktop.DBus.Properties", "Get",
                                 g_variant_new("(ss)", interface, property), G_VARIANT_TYPE("(v)"));
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    std::string text = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ? g_variant_get_string(value, nullptr) : "";
    g_variant_unref(value);
    g_variant_unref(reply);
    return text;
}

}  // namespace platform::linux_desktop
