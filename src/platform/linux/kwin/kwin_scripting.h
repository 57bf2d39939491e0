#pragma once
// KWin scripts run for the tool over the session bus: the only way a client reads and changes KWin's windows.
// A script is loaded from a file (org.kde.kwin.Scripting.loadScript), started, and hands its answer back by
// calling an object this process exports on a bus connection of its own (callDBus); it is unloaded after.

#include <nlohmann/json.hpp>

#include <string>

namespace platform::linux_desktop {

/// Longest wait for one script's answer: a script with an error never answers (KWin only logs it).
inline constexpr double kScriptAnswerSeconds = 2.0;

/// Runs the JavaScript statements `body` in KWin, which end with `return VALUE;`, and returns VALUE (null
/// when the body returns nothing). Values the caller puts into `body` are written as JSON literals. Helpers every body may use: `windows()` (every window KWin manages), `activeWindow()`,
/// `setActiveWindow(w)`, `windowWithId(internalId)` and `rect(r)`, under both the 5.27 and the Plasma 6
/// names. One script runs at a time. Throws CaptureError ("external") when KWin's scripting service is
/// missing, the script fails (with KWin's reason) or gives no answer in time.
nlohmann::json runKWinScript(const std::string& body);

}  // namespace platform::linux_desktop
