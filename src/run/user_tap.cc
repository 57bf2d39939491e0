#include "run/user_tap.h"

#include "base/out.h"
#include "ax/ax.h"
#include "platform/services.h"

namespace run {

std::unique_ptr<platform::PointerTap> startUserTap(ClickLog& log) {
    platform::UserEvents* events = platform::services().userEvents;
    std::unique_ptr<platform::PointerTap> tap;
    if (events) {
        tap = events->tapLeftPresses([&log](double x, double y, std::optional<double> pressHostSeconds) {
            if (!log.contains(x, y)) return;
            AX::Description hit;
            if (const auto element = AX::elementAt({x, y})) hit = AX::describe(*element);
            log.log(x, y, hit.role, hit.label, pressHostSeconds);
            log.logStep(hit.role, hit.label);
        });
    }
    if (!tap) Out::log(kTapFailedLine);
    return tap;
}

}  // namespace run
