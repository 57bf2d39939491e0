// The entry points of the accessibility module: the accessibility service, and the permission probe whose
// accessibility check talks to the session bus.

#include <X11/Xlib.h>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/linux_permission_probe.h"

namespace {

// Window moves and raises go through Xlib, which other threads may use too: it must know before any call.
__attribute__((constructor)) void xlibThreadsFirst() { XInitThreads(); }

}  // namespace

extern "C" __attribute__((visibility("default"))) platform::Accessibility* qc_accessibility() {
    static platform::linux_desktop::AtspiAccessibility accessibility;
    return &accessibility;
}

extern "C" __attribute__((visibility("default"))) platform::PermissionProbe* qc_permission_probe() {
    static platform::linux_desktop::LinuxPermissionProbe probe;
    return &probe;
}
