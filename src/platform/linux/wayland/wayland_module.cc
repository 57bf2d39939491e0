// The entry point of the Wayland desktop module (GNOME's compositor): window capture through its screen
// cast and PipeWire, input through its remote desktop session, applications from the accessibility bus,
// and the desktop's answers to the permission checks.

#include "platform/linux/module_entry.h"
#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/mutter_input.h"
#include "platform/linux/wayland/wayland_applications.h"
#include "platform/linux/wayland/wayland_capture.h"
#include "platform/user_events.h"

namespace platform::linux_desktop {
namespace {

// The user's own presses cannot be observed on Wayland: the compositor hands pointer events only to the
// window under the pointer.
class NoUserEvents final : public UserEvents {
public:
    std::unique_ptr<PointerTap> tapLeftPresses(LeftPress, PointerAt) override { return nullptr; }
};

// The desktop's answers to the permission checks: its screen cast and remote desktop services are on the
// session bus.
bool compositorOffers(const char* service) {
    const BusConnection bus = connectSessionBus();
    return bus && busNameOwned(bus.get(), service);
}

bool screenCastOffered() { return compositorOffers(kScreenCastName); }

bool remoteDesktopOffered() { return compositorOffers(kRemoteDesktopName); }

}  // namespace
}  // namespace platform::linux_desktop

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    static WaylandScreenCapture capture;
    static MutterInput input;
    static WaylandApplications applications;
    static NoUserEvents userEvents;
    static const ModuleTable table{
        .services = {.input = &input, .capture = &capture, .applications = &applications, .userEvents = &userEvents},
        .checks = {.screenPixelsReadable = screenCastOffered, .takesSyntheticInput = remoteDesktopOffered}};
    return &table;
}
