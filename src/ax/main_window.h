#pragma once
// Finding an application's main window through its interface elements.

#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace AX {

/// Interval between two looks at the application's windows while waiting for one.
inline constexpr double kMainWindowPollSeconds = 0.2;

/// The application's window: with a title, the first window (system dialogs left out) whose title contains
/// it ignoring case (an empty title matches none); without, the application's main window, else its first
/// window that is not a system dialog. A splash screen is never taken: the lookup goes on while one is shown.
/// Looks again every 0.2 s, serving the main loop, until `timeoutSeconds` have passed; looks at least once.
/// Nothing when no window turned up.
std::optional<platform::Element> mainWindow(const platform::Element& app, const std::optional<std::string>& title,
                                            double timeoutSeconds);

/// Whether `window` is a splash screen or the like, which no person works in (the backend says).
bool isSplashWindow(const platform::Element& window);

/// Whether the application shows windows and all of them are splash screens: why `mainWindow` found none.
bool showsOnlySplashWindows(const platform::Element& app);

}  // namespace AX
