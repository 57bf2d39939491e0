#pragma once
// What a launch leaves on the program it starts, so that the program can be told apart later whatever its
// windows say: the startup notification id (DESKTOP_STARTUP_ID, which toolkits copy to their windows'
// `_NET_STARTUP_ID`) and the desktop entry it was started from (GIO_LAUNCHED_DESKTOP_FILE with
// GIO_LAUNCHED_DESKTOP_FILE_PID, the variables GLib's launcher sets, and so the desktops that use it).

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/linux/desktop/process_launch.h"

namespace platform::linux_desktop {

/// A startup notification id no other launch has: this process's id, a count and the clock. It carries no
/// "_TIME" part, so that no window manager takes it for a request not to focus the window.
std::string newLaunchId();

/// The environment a launch from the entry file `entryPath` with the id `launchId` adds.
LaunchEnvironment entryLaunchEnvironment(const std::string& entryPath, const std::string& launchId);

/// The entry file process `pid` was started from: GIO_LAUNCHED_DESKTOP_FILE in its environment, when
/// GIO_LAUNCHED_DESKTOP_FILE_PID names the process itself or a process it descends from (a launcher script
/// that execs or forks the program); programs started later from inside it (a shell in a terminal) carry
/// the variables too, and are not taken for it. Nothing when unknown or unreadable.
std::optional<std::string> launchedEntryOf(pid_t pid);

}  // namespace platform::linux_desktop
