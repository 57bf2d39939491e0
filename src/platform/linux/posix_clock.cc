#include "platform/linux/posix_clock.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

namespace platform::linux_desktop {
namespace {

double secondsOf(clockid_t clock) {
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

double PosixClock::hostSeconds() { return secondsOf(CLOCK_MONOTONIC); }

double PosixClock::epochSeconds() { return secondsOf(CLOCK_REALTIME); }

void PosixClock::sleep(double seconds) {
    if (!(seconds > 0)) return;
    // Whole seconds beyond what time_t holds cannot be converted: a longer sleep is taken a year at a time.
    constexpr double kLongestStretchSeconds = 365.0 * 86400;
    for (double left = seconds; left > 0; left -= kLongestStretchSeconds) {
        const double stretch = std::min(left, kLongestStretchSeconds);
        timespec remaining {};
        remaining.tv_sec = static_cast<time_t>(std::floor(stretch));
        remaining.tv_nsec = static_cast<long>((stretch - std::floor(stretch)) * 1e9);
        while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }
}

}  // namespace platform::linux_desktop
