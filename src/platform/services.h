#pragma once
// The platform layer as the core sees it: one object per operating-system service.
//
// The product installs the desktop backend once at start; unit tests install in-memory fakes. Backends
// connect to their services lazily, on first use, so a command that needs none of them touches nothing.

namespace platform {

class RunLoop;
class Clock;
class PermissionProbe;

struct Services {
    RunLoop* runLoop = nullptr;
    Clock* clock = nullptr;
    PermissionProbe* permissions = nullptr;
};

/// The installed services. Every pointer a command needs is set before the command runs.
Services& services();

/// Installs `installed` as the process's services and returns the ones they replace.
Services install(const Services& installed);

/// Installs the services of the desktop this program was built for (defined by the backend).
void installSystemServices();

}  // namespace platform
