// The entry points of the Wayland desktop module (GNOME's compositor): window capture through its screen
// cast and PipeWire, input through its remote desktop session, applications from the accessibility bus,
// and the screen-recording check.

#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/mutter_input.h"
#include "platform/linux/wayland/wayland_applications.h"
#include "platform/linux/wayland/wayland_capture.h"
#include "platform/user_events.h"

namespace {

// The user's own presses cannot be observed on Wayland: the compositor hands pointer events only to the
// window under the pointer.
class NoUserEvents final : public platform::UserEvents {
public:
    std::unique_ptr<platform::PointerTap> tapLeftPresses(LeftPress) override { return nullptr; }
};

}  // namespace

#define QC_MODULE_ENTRY extern "C" __attribute__((visibility("default")))

QC_MODULE_ENTRY platform::ScreenCapture* qc_screen_capture() {
    static platform::linux_desktop::WaylandScreenCapture capture;
    return &capture;
}

QC_MODULE_ENTRY platform::InputEvents* qc_input_events() {
    static platform::linux_desktop::MutterInput input;
    return &input;
}

QC_MODULE_ENTRY platform::Applications* qc_applications() {
    static platform::linux_desktop::WaylandApplications applications;
    return &applications;
}

QC_MODULE_ENTRY platform::UserEvents* qc_user_events() {
    static NoUserEvents userEvents;
    return &userEvents;
}

/// Screen recording: the compositor's screen cast service is on the session bus.
QC_MODULE_ENTRY bool qc_screen_pixels_readable() {
    platform::linux_desktop::BusConnection bus = platform::linux_desktop::connectSessionBus();
    return bus && platform::linux_desktop::busNameOwned(bus.get(), platform::linux_desktop::kScreenCastName);
}
