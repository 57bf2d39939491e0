#pragma once
// Changes to the test's X display that the tests need, kept apart from the test code because Xlib's
// macros clash with GoogleTest's names.

#include <sys/types.h>

namespace e2e {

/// Locks (or unlocks) Caps Lock on $DISPLAY; false when the display cannot be opened.
bool setCapsLock(bool locked);

/// Removes _NET_WM_PID from the client windows of process `pid`, as toolkits that never set it would
/// leave them; returns how many windows lost it.
int removeWindowPids(pid_t pid);

}  // namespace e2e
