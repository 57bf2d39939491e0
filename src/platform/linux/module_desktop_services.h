#pragma once
// The desktop services as the executable sees them: each forwards to the desktop module, opened on the first
// call, so that a command that needs no desktop (`version`) maps none. The module is the X11 one, or the
// Wayland one (GNOME's compositor) when the session is Wayland. Each forwards every virtual of its service,
// those with a default too: a new one must be added here.

#include "platform/applications.h"
#include "platform/input_events.h"
#include "platform/linux/module_loader.h"
#include "platform/linux/desktop/desktop_session.h"
#include "platform/screen_capture.h"
#include "platform/user_events.h"

namespace platform::linux_desktop {

/// The desktop module's entry points.
inline constexpr ModuleEntry kScreenCaptureEntry{"quorrel-capture-x11.so", "qc_screen_capture", "X11 desktop"};
inline constexpr ModuleEntry kInputEventsEntry{kScreenCaptureEntry.fileName, "qc_input_events", "X11 desktop"};
inline constexpr ModuleEntry kApplicationsEntry{kScreenCaptureEntry.fileName, "qc_applications", "X11 desktop"};
inline constexpr ModuleEntry kUserEventsEntry{kScreenCaptureEntry.fileName, "qc_user_events", "X11 desktop"};
/// `bool qc_screen_pixels_readable()`: the screen-recording check.
inline constexpr ModuleEntry kScreenPermissionEntry{kScreenCaptureEntry.fileName, "qc_screen_pixels_readable",
                                                   "X11 desktop"};

/// The Wayland desktop module's entry points: the same five, in its own file.
inline constexpr ModuleEntry kWaylandScreenCaptureEntry{"quorrel-capture-wayland.so", "qc_screen_capture",
                                                        "Wayland desktop"};
inline constexpr ModuleEntry kWaylandInputEventsEntry{kWaylandScreenCaptureEntry.fileName, "qc_input_events",
                                                      "Wayland desktop"};
inline constexpr ModuleEntry kWaylandApplicationsEntry{kWaylandScreenCaptureEntry.fileName, "qc_applications",
                                                       "Wayland desktop"};
inline constexpr ModuleEntry kWaylandUserEventsEntry{kWaylandScreenCaptureEntry.fileName, "qc_user_events",
                                                     "Wayland desktop"};
inline constexpr ModuleEntry kWaylandScreenPermissionEntry{kWaylandScreenCaptureEntry.fileName,
                                                           "qc_screen_pixels_readable", "Wayland desktop"};

/// `x11` in an X11 session, `wayland` in a Wayland one (decided once, from the environment at start).
inline const ModuleEntry& desktopEntry(const ModuleEntry& x11, const ModuleEntry& wayland) {
    static const bool wayland_ = waylandSession();
    return wayland_ ? wayland : x11;
}

class ModuleScreenCapture final : public ScreenCapture {
public:
    ShareableContent shareableContent() override { return module_.get().shareableContent(); }
    double pointPixelScale() override { return module_.get().pointPixelScale(); }
    std::unique_ptr<CaptureStream> makeStream(const ContentFilter& filter, const StreamConfiguration& configuration,
                                              FrameSink sink) override {
        return module_.get().makeStream(filter, configuration, std::move(sink));
    }

private:
    ModuleService<ScreenCapture> module_{desktopEntry(kScreenCaptureEntry, kWaylandScreenCaptureEntry)};
};

class ModuleInputEvents final : public InputEvents {
public:
    bool postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) override {
        return module_.get().postKey(pid, keyCode, flags, down);
    }
    bool postCharacter(int32_t pid, const std::string& character) override {
        return module_.get().postCharacter(pid, character);
    }
    void postMouseMoved(Point point) override { module_.get().postMouseMoved(point); }
    void postLeftDown(Point point) override { module_.get().postLeftDown(point); }
    void postLeftUp(Point point) override { module_.get().postLeftUp(point); }
    void postScroll(Point point, int32_t dxPixels, int32_t dyPixels) override {
        module_.get().postScroll(point, dxPixels, dyPixels);
    }
    bool pointReachesProcess(Point point, int32_t pid) override {
        return module_.get().pointReachesProcess(point, pid);
    }

private:
    ModuleService<InputEvents> module_{desktopEntry(kInputEventsEntry, kWaylandInputEventsEntry)};
};

class ModuleApplications final : public Applications {
public:
    std::vector<ApplicationProcess> running() override { return module_.get().running(); }
    bool isTerminated(int32_t pid) override { return module_.get().isTerminated(pid); }
    bool isApplicationPath(const std::string& path) override { return module_.get().isApplicationPath(path); }
    std::optional<std::string> applicationWithIdentity(const std::string& identity) override {
        return module_.get().applicationWithIdentity(identity);
    }
    std::optional<std::string> applicationNamed(const std::string& name) override {
        return module_.get().applicationNamed(name);
    }
    ApplicationProcess open(const std::string& path) override { return module_.get().open(path); }
    std::optional<std::string> identityOf(const std::string& path) override { return module_.get().identityOf(path); }
    bool descendsFrom(int32_t pid, int32_t ancestor) override { return module_.get().descendsFrom(pid, ancestor); }
    void activate(const ApplicationProcess& application) override { module_.get().activate(application); }
    std::optional<ScreenFrames> mainScreen() override { return module_.get().mainScreen(); }
    bool placeWindow(const ApplicationProcess& application, uint64_t windowID, const Rect& frame) override {
        return module_.get().placeWindow(application, windowID, frame);
    }

private:
    ModuleService<Applications> module_{desktopEntry(kApplicationsEntry, kWaylandApplicationsEntry)};
};

class ModuleUserEvents final : public UserEvents {
public:
    std::unique_ptr<PointerTap> tapLeftPresses(LeftPress onPress) override {
        return module_.get().tapLeftPresses(std::move(onPress));
    }

private:
    ModuleService<UserEvents> module_{desktopEntry(kUserEventsEntry, kWaylandUserEventsEntry)};
};

/// True when the X display opens and the root window's pixels can be read, or on Wayland when the
/// compositor's screen cast service answers (asked of the desktop module).
inline bool moduleScreenPixelsReadable() {
    using Check = bool (*)();
    return reinterpret_cast<Check>(moduleFactory(desktopEntry(kScreenPermissionEntry, kWaylandScreenPermissionEntry)))();
}

}  // namespace platform::linux_desktop
