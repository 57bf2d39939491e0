#include "platform/services.h"

#include <exception>

#include "platform/linux/glib_run_loop.h"
#include "platform/linux/module_loader.h"
#include "platform/linux/posix_clock.h"
#include "platform/permission_probe.h"

namespace platform {
namespace {

using linux_desktop::DesktopSession;
using linux_desktop::LazyModule;
using linux_desktop::ModuleFile;
using linux_desktop::PermissionChecks;

// The desktop module of each kind of session, and its companion where it has one: the module with the
// desktop's frame streams, input and the user's presses, kept apart so that a command that only lists
// windows maps none of their libraries. A new desktop is one line here.
struct DesktopModules {
    DesktopSession session;
    ModuleFile module;
    ModuleFile companion{nullptr, nullptr};
};
constexpr DesktopModules kDesktopModules[] = {
    {DesktopSession::x11, {"quorrel-capture-x11.so", "X11 desktop"}, {"quorrel-capture-x11_io.so", "X11 input"}},
    {DesktopSession::gnomeWayland, {"quorrel-capture-wayland.so", "Wayland desktop"}},
    {DesktopSession::kwinWayland, {"quorrel-capture-kwin.so", "KWin desktop"}},
};

const DesktopModules& desktopModulesOf(DesktopSession session) {
    for (const auto& desktop : kDesktopModules)
        if (desktop.session == session) return desktop;
    return kDesktopModules[0];
}

constexpr ModuleFile kAccessibilityModule{"quorrel-capture-atspi.so", "accessibility"};
// The library under the accessibility module that answers whether desktop accessibility is on.
constexpr ModuleFile kAccessibilityBus{"quorrel-capture-bus.so", "accessibility"};
constexpr ModuleFile kMovieWriterModule{"quorrel-capture-ffmpeg.so", "movie writer"};
constexpr ModuleFile kTextRecognizerModule{"quorrel-capture-tesseract.so", "text recognition"};

// Screen recording is the desktop's answer; accessibility needs desktop accessibility on (the bus library,
// which has GIO) and the desktop taking the tool's input (the desktop module). Each is opened when its
// answer is first asked for.
class ModulePermissionProbe final : public PermissionProbe {
public:
    ModulePermissionProbe(LazyModule& desktop, LazyModule& bus) : desktop_(desktop), bus_(bus) {}

    bool screenRecording() override { return desktop_.check(&PermissionChecks::screenPixelsReadable)(); }
    bool accessibility() override {
        return bus_.check(&PermissionChecks::accessibilityOn)() &&
               desktop_.check(&PermissionChecks::takesSyntheticInput)();
    }
    void requestScreenRecording() override {}
    void requestAccessibility() override {
        bus_.check(&PermissionChecks::turnAccessibilityOn)();
        // The desktop's own part, where it has one (GNOME Shell: the tool's shell extension turned on).
        if (const auto turnOn = desktop_.table().checks.turnAccessibilityOn) turnOn();
    }

private:
    LazyModule& desktop_;
    LazyModule& bus_;
};

// The desktop module and its companion, for the other modules' questions about windows and the desktop
// module's streams (set once, before any module opens).
LazyModule* desktopModule = nullptr;
LazyModule* companionModule = nullptr;

// The desktop module's table, opened on first use; null when it cannot be opened.
const linux_desktop::ModuleTable* desktopTable() {
    if (!desktopModule) return nullptr;
    try {
        return &desktopModule->table();
    } catch (const std::exception&) {
        return nullptr;
    }
}

// The companion's table, opened on first use (throwing the loader's error when it cannot be); null when the
// desktop has none.
const linux_desktop::ModuleTable* desktopCompanion() {
    return companionModule ? &companionModule->table() : nullptr;
}

const linux_desktop::DesktopGeometry* desktopGeometry() {
    const auto* table = desktopTable();
    return table && table->geometry.placementOf ? &table->geometry : nullptr;
}

const linux_desktop::DesktopWindowRequests* desktopWindowRequests() {
    const auto* table = desktopTable();
    return table && (table->windowRequests.setVisibleFrame || table->windowRequests.raise) ? &table->windowRequests
                                                                                           : nullptr;
}

}  // namespace

void installSystemServices() {
    // The kind of session is decided here, once, and told to every module as it opens. Every backend
    // connects on first use, so a command touches only the services it needs: the ones on X11, AT-SPI,
    // FFmpeg and Tesseract live in modules that are opened then, and the ones that use Xlib call
    // XInitThreads as they load.
    static linux_desktop::GlibRunLoop runLoop;
    static linux_desktop::PosixClock clock;
    static const linux_desktop::ModuleContext context{linux_desktop::desktopSessionFromEnvironment(),
                                                      desktopGeometry, desktopWindowRequests, desktopCompanion};
    static const DesktopModules& desktopModules = desktopModulesOf(context.session);
    static LazyModule desktop(desktopModules.module, context);
    desktopModule = &desktop;
    static LazyModule companion(desktopModules.companion, context);
    if (desktopModules.companion.fileName) companionModule = &companion;
    static LazyModule accessibility(kAccessibilityModule, context);
    static LazyModule accessibilityBus(kAccessibilityBus, context);
    static LazyModule movies(kMovieWriterModule, context);
    static LazyModule textRecognition(kTextRecognizerModule, context);
    static ModulePermissionProbe permissions(desktop, accessibilityBus);

    Services services{.runLoop = &runLoop, .clock = &clock, .permissions = &permissions};
    desktop.offers<&Services::capture, &Services::applications>(services);
    if (companionModule)
        companion.offers<&Services::input, &Services::userEvents>(services);
    else
        desktop.offers<&Services::input, &Services::userEvents>(services);
    accessibility.offers<&Services::accessibility>(services);
    movies.offers<&Services::movies>(services);
    textRecognition.offers<&Services::textRecognizer>(services);
    install(services);
}

}  // namespace platform
