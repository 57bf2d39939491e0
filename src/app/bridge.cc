#include "app/bridge.h"

namespace bridge {

void pause(double seconds) {
    if (seconds <= 0) return;
    platform::services().runLoop->runFor(seconds);
}

}  // namespace bridge
