#pragma once
// The permissions as an X11 desktop grants them.

namespace platform::linux_desktop {

/// True when the X display opens and the root window's pixels can be read.
bool screenPixelsReadable();

/// True when the X display opens and has the XTEST extension, which the tool's input goes through.
bool displayHasXTest();

}  // namespace platform::linux_desktop
