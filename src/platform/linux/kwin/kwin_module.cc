// The entry point of the KWin desktop module (KDE Plasma on Wayland): window and display capture through
// KWin's screen cast and PipeWire, input through its fake input device, windows, focus and placement through
// KWin scripts, the desktop's answers to the permission checks, and window geometry for the accessibility
// module.

#include "platform/linux/kwin/kwin_applications.h"
#include "platform/linux/kwin/kwin_capture.h"
#include "platform/linux/kwin/kwin_connection.h"
#include "platform/linux/kwin/kwin_geometry.h"
#include "platform/linux/kwin/kwin_input.h"
#include "platform/linux/module_entry.h"
#include "platform/user_events.h"

namespace platform::linux_desktop {
namespace {

// KWin 5.27 tells no client the user's pointer presses: the compositor hands them only to the window under
// the pointer.
class NoUserEvents final : public UserEvents {
public:
    std::unique_ptr<PointerTap> tapLeftPresses(LeftPress, PointerAt) override { return nullptr; }
};

// KWin grants its screen cast and fake input to the programs an installed desktop file names, and to no
// other: to those it does not advertise them at all. So the globals it offers are what it grants.
bool granted(const char* global) {
    KWinConnection* connection = KWinConnection::shared();
    return connection && connection->offers(global);
}

bool screencastGranted() { return granted(kScreencastGlobal); }

bool fakeInputGranted() { return granted(kFakeInputGlobal); }

}  // namespace
}  // namespace platform::linux_desktop

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    static KWinScreenCapture capture;
    static KWinInput input;
    static KWinApplications applications;
    static NoUserEvents userEvents;
    static const ModuleTable table{
        .services = {.input = &input, .capture = &capture, .applications = &applications, .userEvents = &userEvents},
        .checks = {.screenPixelsReadable = screencastGranted, .takesSyntheticInput = fakeInputGranted},
        .geometry = {.placementOf = kwinPlacementOf},
        .windowRequests = {.setVisibleFrame = kwinSetVisibleFrame, .raise = kwinRaise}};
    return &table;
}
