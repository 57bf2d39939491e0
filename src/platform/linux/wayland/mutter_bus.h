#pragma once
// Calls to GNOME's compositor (mutter) on the session bus: its screen cast, remote desktop and display
// configuration services. Every call is bounded (kBusCallTimeoutMs).

#include <gio/gio.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/bus/dbus_session.h"

namespace platform::linux_desktop {

inline constexpr const char* kScreenCastName = "org.gnome.Mutter.ScreenCast";
inline constexpr const char* kRemoteDesktopName = "org.gnome.Mutter.RemoteDesktop";
inline constexpr const char* kDisplayConfigName = "org.gnome.Mutter.DisplayConfig";

/// True when `name` has an owner on the bus.
bool busNameOwned(GDBusConnection* bus, const char* name);

/// The process of the compositor (the owner of its screen cast service), or nothing when it cannot be told.
std::optional<int32_t> compositorProcessId();

/// False when the compositor has gone: the session bus cannot be reached, or its screen cast service has no
/// owner there any more.
bool compositorRunning();

/// Calls `method` of `interface` on object `path` of service `name` and returns the reply (a new
/// reference; never null). `arguments` is consumed when floating. Throws CaptureError ("external") naming
/// the call and the bus's reason.
GVariant* callMutter(GDBusConnection* bus, const char* name, const std::string& path, const char* interface,
                     const char* method, GVariant* arguments, const GVariantType* replyType);

/// A string property of an object of service `name`; throws like `callMutter`.
std::string mutterStringProperty(GDBusConnection* bus, const char* name, const std::string& path,
                                 const char* interface, const char* property);

}  // namespace platform::linux_desktop
