#pragma once
// The session bus and the accessibility status it publishes.

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>

namespace platform::linux_desktop {

struct GObjectUnref {
    void operator()(void* object) const { if (object) g_object_unref(object); }
};
using BusConnection = std::unique_ptr<GDBusConnection, GObjectUnref>;

/// Bound on every call this backend makes to the session bus, so a stuck bus never freezes the tool.
inline constexpr int kBusCallTimeoutMs = 2000;

/// A private connection to the bus at $DBUS_SESSION_BUS_ADDRESS, or null when there is none. A missing
/// address is never replaced by an autolaunched bus.
BusConnection connectSessionBus();

/// org.a11y.Status IsEnabled, or nothing when the accessibility bus launcher does not answer.
std::optional<bool> desktopAccessibilityEnabled(GDBusConnection* session);

/// Sets org.a11y.Status IsEnabled; true when the launcher accepted it.
bool setDesktopAccessibilityEnabled(GDBusConnection* session, bool enabled);

/// The address of the accessibility bus, or nothing when the launcher does not answer.
std::optional<std::string> accessibilityBusAddress(GDBusConnection* session);

/// A private connection to the bus at `address`, or null.
BusConnection connectBus(const std::string& address);

}  // namespace platform::linux_desktop
