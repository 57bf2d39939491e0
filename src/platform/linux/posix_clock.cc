#include "platform/linux/posix_clock.h"

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
    timespec remaining {};
    remaining.tv_sec = static_cast<time_t>(std::floor(seconds));
    remaining.tv_nsec = static_cast<long>((seconds - std::floor(seconds)) * 1e9);
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

}  // namespace platform::linux_desktop
