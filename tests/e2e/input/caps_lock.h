#pragma once
// Locking Caps Lock on the test's display, kept apart from the test code because Xlib's macros clash with
// GoogleTest's names.

namespace e2e {

/// Locks (or unlocks) Caps Lock on $DISPLAY; false when the display cannot be opened.
bool setCapsLock(bool locked);

}  // namespace e2e
