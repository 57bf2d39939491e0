#pragma once
// The host clock in seconds (CLOCK_MONOTONIC), as the executable's Clock reads it. Inline, so that a module
// that stamps frames with it (the capture streams, the movie writer) carries no code of the executable's.

#include <ctime>

namespace platform::linux_desktop {

/// The time on `clock` in seconds.
inline double secondsOn(clockid_t clock) {
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

/// The host clock: seconds on CLOCK_MONOTONIC.
inline double hostClockSeconds() { return secondsOn(CLOCK_MONOTONIC); }

}  // namespace platform::linux_desktop
