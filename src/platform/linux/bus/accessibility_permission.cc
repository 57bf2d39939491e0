#include "platform/linux/bus/accessibility_permission.h"

#include "platform/linux/bus/dbus_session.h"

namespace platform::linux_desktop {

bool desktopAccessibilityOn() {
    BusConnection session = connectSessionBus();
    if (!session) return false;
    if (desktopAccessibilityEnabled(session.get()) != true) return false;
    const auto address = accessibilityBusAddress(session.get());
    return address && connectBus(*address);
}

void turnDesktopAccessibilityOn() {
    if (BusConnection session = connectSessionBus()) setDesktopAccessibilityEnabled(session.get(), true);
}

}  // namespace platform::linux_desktop
