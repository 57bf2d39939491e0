#pragma once
// Seconds on the monotonic clock, and a sleep, for the step tests' polling loops.

#include <time.h>
#include <unistd.h>

namespace stepstest {

inline double nowSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

inline void pauseSeconds(double seconds) { usleep(static_cast<useconds_t>(seconds * 1e6)); }

}  // namespace stepstest
