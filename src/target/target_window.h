#pragma once
// Finding the window a run records: through the application's interface elements, or, for an application
// that never appears among them (a plain X11 program), by its process among the capturable windows.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "platform/screen_capture.h"

namespace target {

/// How long a process that shows a window but has no interface elements is given to expose them before
/// its window is taken by process instead, in seconds.
inline constexpr double kAccessibilityGraceSeconds = 3;

/// Where the run's window was found.
struct TargetWindow {
    /// The application's element, when it has one.
    std::optional<platform::Element> application;
    /// The window's element, when the application's interface shows it.
    std::optional<platform::Element> window;
    /// The capturable window taken by process, when the application never exposed an interface.
    std::optional<platform::ShareableWindow> byProcess;

    bool found() const { return window || byProcess; }
};

/// The window of process `pid` (with `title`, the first whose title contains it ignoring case), looked for
/// until the host clock reaches `deadlineHostSeconds`, serving the main loop between looks. Once the
/// application's element exists, its window is the one `mainWindow` finds. While it does not, a window of
/// the process on screen is taken by process after it has been seen for `kAccessibilityGraceSeconds` (or
/// at the deadline, whichever comes first). Nothing found leaves both windows absent.
TargetWindow findTargetWindow(int32_t pid, const std::optional<std::string>& title, double deadlineHostSeconds);

/// Whether process `pid` shows an ordinary window on screen; false when the desktop cannot be asked.
bool showsWindows(int32_t pid);

/// The diagnostic line for `app` when its windows are on screen but it exposes no accessibility tree, so
/// that a script author knows why none of its elements can be found.
std::string noAccessibilityTreeLine(const std::string& app);

/// The diagnostic line for `app` when the time to find its window ran out while it showed only a splash
/// screen.
std::string onlySplashLine(const std::string& app);

/// Writes `onlySplashLine` when `application` shows windows and all of them are splash screens.
void reportOnlySplash(const std::optional<platform::Element>& application, const std::string& app);
}  // namespace target
