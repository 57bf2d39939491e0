#pragma once
// Turning a job's application string into a running application.

#include <optional>
#include <string>
#include <vector>

#include "platform/applications.h"

namespace target {

/// Longest time `launch` waits for a started application to show up among the running ones.
inline constexpr double kLaunchRegistrationSeconds = 15.0;

/// Interval of that wait's polls.
inline constexpr double kLaunchPollSeconds = 0.1;

/// Installed names listed when an application string names none.
inline constexpr size_t kClosestNamesShown = 6;

/// The first running application whose identity, name, entry path or executable path equals `app`
/// exactly (case-sensitive), in the platform's order; else the first whose generic name is `app`, else the
/// first whose full name is; none when no application matches.
std::optional<platform::ApplicationProcess> runningApp(const std::string& app);

/// The path of the application `app` names: `app` itself when it is the path of an application, else the
/// installed application with that identity, else the first one with that name in the application
/// directories, else the first with that generic name or full name; none otherwise.
std::optional<std::string> resolveAppURL(const std::string& app);

/// A running application for `app`: a running one is activated and returned at once, and so is one
/// started from the entry `app` resolves to (never a second instance); otherwise the resolved application
/// is started and followed to the process that shows its window: one whose window carries the launch's id,
/// the started process, one with the entry's identity (a launcher that hands over to a server of its own),
/// or one the started process started, as soon as it shows an ordinary window. A process the desktop ties
/// to no installed application carries the identity, names and path of the entry it was started from.
/// Throws CaptureError "app not found: <app>" (code "not_found") when nothing resolves, after writing the
/// closest installed names to standard error, and the platform's error when the application cannot be
/// started. A started process that ends without a successor fails with "the
/// application ended without showing up: <path>": at once when the path tells no identity to hand over to,
/// else at the end of the wait. Blocks the calling thread; the run calls it through the bridge.
platform::ApplicationProcess launch(const std::string& app);

/// `launch` waiting for the started application until the host clock reaches `deadlineHostSeconds`, so
/// that a run gives launching and finding the window one time limit.
platform::ApplicationProcess launch(const std::string& app, double deadlineHostSeconds);

/// The installed `names` closest to `app` (`Suggest::distance`), nearest first, at most
/// `kClosestNamesShown`; equal distances keep their order.
std::vector<std::string> closestInstalledNames(const std::string& app, std::vector<std::string> names);

/// The standard-error line naming the installed applications closest to an `app` that names none.
std::string closestNamesLine(const std::string& app, const std::vector<std::string>& names);

}  // namespace target
