#pragma once
// The main thread's event loop, served during the program's own waits.

namespace platform {

/// The main loop of the process. Sources that must be served while the program waits (the user-action
/// tap, for one) are attached to it by their backends.
class RunLoop {
public:
    virtual ~RunLoop() = default;

    /// Serves the main loop's sources on the calling thread until `seconds` have passed; returns at once
    /// when `seconds` is zero or negative.
    virtual void runFor(double seconds) = 0;

    /// Wakes a `runFor` that is waiting, so that it returns early; callable from any thread.
    virtual void wake() = 0;
};

}  // namespace platform
