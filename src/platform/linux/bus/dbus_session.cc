#include "platform/linux/bus/dbus_session.h"

#include <cstdlib>

namespace platform::linux_desktop {
namespace {

constexpr const char* kLauncherName = "org.a11y.Bus";
constexpr const char* kLauncherPath = "/org/a11y/bus";

// The reply of a call to the accessibility bus launcher, or null on any failure.
GVariant* callLauncher(GDBusConnection* session, const char* interface, const char* method, GVariant* arguments,
                       const GVariantType* replyType) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(session, kLauncherName, kLauncherPath, interface, method,
                                                  arguments, replyType, G_DBUS_CALL_FLAGS_NONE,
                                                  kBusCallTimeoutMs, nullptr, &error);
    if (error) g_error_free(error);
    return reply;
}

}  // namespace

BusConnection connectBus(const std::string& address) {
    // Connecting includes the authentication and the Hello call, which wait for the bus daemon's answers;
    // a stopped daemon never gives them. So the connection is made asynchronously on a context of our own
    // and given up (cancelled) when it is not made in time.
    struct Attempt {
        GDBusConnection* connection = nullptr;
        bool done = false;
    };
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GCancellable* cancellable = g_cancellable_new();
    auto* attempt = new Attempt;
    g_dbus_connection_new_for_address(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable,
        [](GObject*, GAsyncResult* result, gpointer data) {
            auto* attempt = static_cast<Attempt*>(data);
            attempt->connection = g_dbus_connection_new_for_address_finish(result, nullptr);
            attempt->done = true;
        },
        attempt);
    bool timedOut = false;
    GSource* timer = g_timeout_source_new(kBusCallTimeoutMs);
    g_source_set_callback(
        timer, [](gpointer flag) -> gboolean { *static_cast<bool*>(flag) = true; return G_SOURCE_REMOVE; },
        &timedOut, nullptr);
    g_source_attach(timer, context);
    while (!attempt->done && !timedOut) g_main_context_iteration(context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);

    GDBusConnection* connection = nullptr;
    if (attempt->done) {
        connection = attempt->connection;
        delete attempt;
    } else {
        // The callback still comes once the cancellation is seen (it frees the attempt then); it is served
        // here for a moment, and otherwise left behind with this context: never waited on.
        g_cancellable_cancel(cancellable);
        for (int i = 0; i < 20 && !attempt->done; ++i) {
            g_main_context_iteration(context, FALSE);
            g_usleep(1000);
        }
        if (attempt->done) {
            if (attempt->connection) g_object_unref(attempt->connection);
            delete attempt;
        }
    }
    g_object_unref(cancellable);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    if (connection) g_dbus_connection_set_exit_on_close(connection, FALSE);
    return BusConnection(connection);
}

BusConnection connectSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address) return nullptr;
    return connectBus(address);
}

std::optional<bool> desktopAccessibilityEnabled(GDBusConnection* session) {
    GVariant* reply = callLauncher(session, "org.freedesktop.DBus.Properties", "Get",
                                   g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"));
    if (!reply) return std::nullopt;
    GVariant* boxed = nullptr;
    g_variant_get(reply, "(v)", &boxed);
    std::optional<bool> enabled;
    if (g_variant_is_of_type(boxed, G_VARIANT_TYPE_BOOLEAN)) enabled = g_variant_get_boolean(boxed);
    g_variant_unref(boxed);
    g_variant_unref(reply);
    return enabled;
}

bool setDesktopAccessibilityEnabled(GDBusConnection* session, bool enabled) {
    GVariant* reply = callLauncher(session, "org.freedesktop.DBus.Properties", "Set",
                                   g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled",
                                                 g_variant_new_boolean(enabled)),
                                   nullptr);
    if (!reply) return false;
    g_variant_unref(reply);
    return true;
}

std::optional<std::string> accessibilityBusAddress(GDBusConnection* session) {
    GVariant* reply = callLauncher(session, "org.a11y.Bus", "GetAddress", nullptr, G_VARIANT_TYPE("(s)"));
    if (!reply) return std::nullopt;
    const gchar* address = nullptr;
    g_variant_get(reply, "(&s)", &address);
    std::string result = address ? address : "";
    g_variant_unref(reply);
    if (result.empty()) return std::nullopt;
    return result;
}

}  // namespace platform::linux_desktop
