#include "platform/linux/posix_clock.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

#include "platform/linux/host_clock.h"

namespace platform::linux_desktop {

double PosixClock::hostSeconds() { return hostClockSeconds(); }

double PosixClock::epochSeconds() { return secondsOn(CLOCK_REALTIME); }

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
