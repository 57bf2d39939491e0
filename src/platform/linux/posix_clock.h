#pragma once
// Clocks on CLOCK_MONOTONIC and CLOCK_REALTIME.

#include "platform/clock.h"

namespace platform::linux_desktop {

class PosixClock final : public Clock {
public:
    double hostSeconds() override;
    double epochSeconds() override;
    void sleep(double seconds) override;
};

}  // namespace platform::linux_desktop
