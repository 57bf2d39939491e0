#pragma once
// Giving the keyboard focus to a process's window, so that synthesised key events reach that process.

#include <X11/Xlib.h>

#include <cstdint>

namespace platform::linux_desktop {

/// True when the window holding the keyboard focus (or a window it sits in) belongs to process `pid`.
bool processHasFocus(Display* display, int32_t pid);

/// Makes a top-level window of process `pid` hold the keyboard focus: nothing when it already does,
/// otherwise the top-most one is activated (through the window manager when there is one) and the focus
/// awaited for up to `timeoutSeconds`. False when the process has no top-level window or the focus
/// did not arrive.
bool focusProcess(Display* display, int32_t pid, double timeoutSeconds);

}  // namespace platform::linux_desktop
