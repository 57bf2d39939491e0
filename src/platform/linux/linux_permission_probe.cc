#include "platform/linux/linux_permission_probe.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/x11/dbus_session.h"
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

}  // namespace

bool LinuxPermissionProbe::screenRecording() { return screenPixelsReadable(); }

bool LinuxPermissionProbe::accessibility() {
    BusConnection session = connectSessionBus();
    if (!session) return false;
    if (desktopAccessibilityEnabled(session.get()) != true) return false;
    const auto address = accessibilityBusAddress(session.get());
    if (!address || !connectBus(*address)) return false;
    return displayHasXTest();
}

void LinuxPermissionProbe::requestScreenRecording() {}

void LinuxPermissionProbe::requestAccessibility() {
    if (BusConnection session = connectSessionBus()) setDesktopAccessibilityEnabled(session.get(), true);
}

}  // namespace platform::linux_desktop
