// The entry point of the Wayland desktop module (GNOME's compositor, bare mutter or GNOME Shell): window
// capture through its screen cast and PipeWire, input through its remote desktop session, applications and
// windows from the project's GNOME Shell extension when it runs and from the accessibility bus otherwise, the
// user's pointer presses and the window geometry the accessibility module asks for through that extension,
// and the desktop's answers to the permission checks.

#include "platform/linux/module_entry.h"
#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/mutter_input.h"
#include "platform/linux/wayland/shell_extension.h"
#include "platform/linux/wayland/shell_extension_setting.h"
#include "platform/linux/wayland/shell_pointer_presses.h"
#include "platform/linux/wayland/shell_top_levels.h"
#include "platform/linux/wayland/wayland_applications.h"
#include "platform/linux/wayland/wayland_capture.h"

namespace platform::linux_desktop {
namespace {

// The desktop's answers to the permission checks: its screen cast and remote desktop services are on the
// session bus.
bool compositorOffers(const char* service) {
    const BusConnection bus = connectSessionBus();
    return bus && busNameOwned(bus.get(), service);
}

bool screenCastOffered() { return compositorOffers(kScreenCastName); }

// Input reaches an application through the remote desktop service. Under GNOME Shell it reaches only the
// window that has the focus unless the shell extension runs, which focuses the target's window: there the
// tool drives input only with the extension (asking for accessibility turns it on).
bool inputDrivable() {
    if (!compositorOffers(kRemoteDesktopName)) return false;
    return shellExtensionPresent() || !gnomeShellRuns();
}

}  // namespace
}  // namespace platform::linux_desktop

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    static WaylandScreenCapture capture;
    static MutterInput input;
    static WaylandApplications applications;
    static ShellPointerPresses userEvents;
    static const ModuleTable table{
        .services = {.input = &input, .capture = &capture, .applications = &applications, .userEvents = &userEvents},
        .checks = {.screenPixelsReadable = screenCastOffered,
                   .takesSyntheticInput = inputDrivable,
                   .turnAccessibilityOn = turnShellExtensionOn},
        .geometry = {.placementOf = shellPlacementOf, .topLevelAt = shellTopLevelAt},
        .windowRequests = {.setVisibleFrame = setShellVisibleFrame, .raise = raiseShellWindow}};
    return &table;
}
