#pragma once
// The screen-recording permission as an X11 desktop grants it.

namespace platform::linux_desktop {

/// True when the X display opens and the root window's pixels can be read.
bool screenPixelsReadable();

}  // namespace platform::linux_desktop
