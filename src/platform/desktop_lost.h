#pragma once
// When the connection to the desktop breaks for good (its display server went away), a backend cannot
// go on and cannot return to its caller: it reports the loss here, and the installed handler ends the
// process, finishing what it can first.

#include <functional>
#include <string>

namespace platform {

/// Ends the process after a loss described by `what`; runs on whichever thread noticed the loss.
using DesktopLostHandler = std::function<void(const std::string& what)>;

/// Installs `handler` for the losses reported from now on; returns the handler it replaces.
DesktopLostHandler setDesktopLostHandler(DesktopLostHandler handler);

/// Reports the loss of the desktop. The first caller runs the handler; a caller on another thread waits
/// for ever, so that one thread alone ends the process. Ends the process with status 1 when the handler
/// returns or none is installed. Never returns.
[[noreturn]] void desktopLost(const std::string& what);

}  // namespace platform
