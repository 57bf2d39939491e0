#pragma once
// The project's GNOME Shell extension on the session bus (io.github.QuorrelCapture.Shell, described by
// gnome_shell/extension/io.github.QuorrelCapture.Shell.xml): the windows as the shell knows them, with
// their screen frames, focusing and placing them, and the user's pointer presses. The module uses it when its
// name has an owner and its Version is 1 or more, and works as on bare mutter otherwise.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace platform::linux_desktop {

inline constexpr const char* kShellExtensionName = "io.github.QuorrelCapture.Shell";
inline constexpr const char* kShellExtensionPath = "/io/github/QuorrelCapture/Shell";
inline constexpr const char* kShellExtensionInterface = "io.github.QuorrelCapture.Shell";
inline constexpr const char* kShellExtensionUuid = "quorrel-capture@quorrel-capture.github.io";

/// One window the shell lists: one a person can switch to (never the shell's own panel or overview).
struct ShellWindow {
    uint64_t id = 0;         // mutter's window id, the one its screen cast records by
    int32_t pid = 0;         // 0 when unknown
    std::string title;
    std::string appId;       // the desktop entry the shell matched, without ".desktop"; "" when none
    std::string wmClass;     // the window's class (a Wayland client's app id)
    bool x11Client = false;  // an Xwayland client, whose accessible objects are in screen coordinates
    Rect frame;              // the window as a person sees it, in screen coordinates
    Rect bufferFrame;        // the surface its client draws, shadows included, in screen coordinates
    bool focused = false;
    bool minimized = false;
};

/// True when the extension runs in this session: its name has an owner and its Version is at least 1.
/// Asked once per process.
bool shellExtensionPresent();

/// Makes the next `shellExtensionPresent` ask again (the extension was just turned on).
void forgetShellExtension();

/// True when the session's compositor is GNOME Shell (org.gnome.Shell has an owner), asked afresh.
bool gnomeShellRuns();

/// The shell's windows, the top of the stack first. Throws CaptureError ("external") when the extension does
/// not answer.
std::vector<ShellWindow> shellWindows();

/// Gives window `id` the focus and the top of the stack, as the shell's switcher does; false when the
/// extension refused (an unknown window) or did not answer.
bool focusShellWindow(uint64_t id);

/// Asks window `id`'s frame to take `frame` (screen coordinates) and waits, a few seconds at most, until the
/// shell lists it so; false when the extension refused or did not answer.
bool placeShellWindow(uint64_t id, const Rect& frame);

/// The part of the primary monitor windows may use (without the shell's panel), in screen coordinates;
/// nothing when the extension does not say (before Version 2).
std::optional<Rect> shellWorkArea();

}  // namespace platform::linux_desktop
