#include "platform/linux/atspi/linux_permission_probe.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/desktop/desktop_session.h"
#include "platform/linux/bus/dbus_session.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_screen_permission.h"

namespace platform::linux_desktop {
namespace {

bool displayHasXTest() {
    DisplayPtr display = openDisplay();
    if (!display) return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor);
}

// On Wayland, input goes through the compositor's remote desktop service (GNOME's), when it offers one.
bool compositorTakesInput(GDBusConnection* session) {
    GVariant* reply = g_dbus_connection_call_sync(
        session, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", "org.gnome.Mutter.RemoteDesktop"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        kBusCallTimeoutMs, nullptr, nullptr);
    if (!reply) return false;
    gboolean owned = false;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

}  // namespace

bool LinuxPermissionProbe::screenRecording() { return screenPixelsReadable(); }

bool LinuxPermissionProbe::accessibility() {
    BusConnection session = connectSessionBus();
    if (!session) return false;
    if (desktopAccessibilityEnabled(session.get()) != true) return false;
    const auto address = accessibilityBusAddress(session.get());
    if (!address || !connectBus(*address)) return false;
    if (waylandSession()) return compositorTakesInput(session.get());
    return displayHasXTest();
}

void LinuxPermissionProbe::requestScreenRecording() {}

void LinuxPermissionProbe::requestAccessibility() {
    if (BusConnection session = connectSessionBus()) setDesktopAccessibilityEnabled(session.get(), true);
}

}  // namespace platform::linux_desktop
