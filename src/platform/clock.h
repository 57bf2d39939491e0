#pragma once
// Clocks and blocking sleeps.

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;

    /// Seconds on the host clock: monotonic, the time base of captured frames.
    virtual double hostSeconds() = 0;

    /// Seconds since the Unix epoch on the wall clock.
    virtual double epochSeconds() = 0;

    /// Blocks the calling thread for `seconds`, serving nothing.
    virtual void sleep(double seconds) = 0;
};

}  // namespace platform
