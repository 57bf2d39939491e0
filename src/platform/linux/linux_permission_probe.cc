#include "platform/linux/linux_permission_probe.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/dbus_session.h"
#include "platform/linux/x11_display.h"

namespace platform::linux_desktop {
namespace {

bool displayHasXTest() {
    DisplayPtr display = openDisplay();
    if (!display) return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor);
}

}  // namespace

bool LinuxPermissionProbe::screenRecording() {
    DisplayPtr display = openDisplay();
    if (!display) return false;
    XImage* pixel = nullptr;
    const Window root = DefaultRootWindow(display.get());
    withoutXErrors(display.get(), [&] { pixel = XGetImage(display.get(), root, 0, 0, 1, 1, AllPlanes, ZPixmap); });
    if (!pixel) return false;
    XDestroyImage(pixel);
    return true;
}

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
