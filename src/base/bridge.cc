#include "base/bridge.h"

#include "platform/clock.h"

namespace bridge {

void pause(double seconds) {
    if (seconds <= 0) return;
    auto& services = platform::services();
    if (!services.clock) {
        services.runLoop->runFor(seconds);
        return;
    }
    // The main loop may return early (a wake-up meant for an earlier wait arrives late); the wait goes on
    // until the full time has passed on the host clock.
    const double deadline = services.clock->hostSeconds() + seconds;
    for (double left = seconds; left > 0; left = deadline - services.clock->hostSeconds())
        services.runLoop->runFor(left);
}

}  // namespace bridge
