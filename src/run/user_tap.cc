#include "run/user_tap.h"

#include <memory>
#include <optional>

#include "base/out.h"
#include "ax/ax.h"
#include "platform/services.h"

namespace run {
namespace {

// What lay under the pointer when it last came to rest inside the recorded area.
struct Sighting {
    double x = 0, y = 0;
    AX::Description hit;
};

AX::Description describeAt(double x, double y) {
    if (const auto element = AX::elementAt({x, y})) return AX::describe(*element);
    return {};
}

}  // namespace

std::unique_ptr<platform::PointerTap> startUserTap(ClickLog& log) {
    platform::UserEvents* events = platform::services().userEvents;
    std::unique_ptr<platform::PointerTap> tap;
    if (events) {
        // Shared by the two callbacks, which the tap keeps as long as it lives.
        auto sighting = std::make_shared<std::optional<Sighting>>();
        tap = events->tapLeftPresses(
            [&log, sighting](double x, double y, std::optional<double> pressHostSeconds) {
                if (!log.contains(x, y)) return;
                // A press where the pointer rested hit what was there then: the press itself may have
                // changed it (an item of a menu that its release closes) before it could be read now.
                const bool rested = *sighting && (*sighting)->x == x && (*sighting)->y == y;
                const AX::Description hit = rested ? (*sighting)->hit : describeAt(x, y);
                log.log(x, y, hit.role, hit.label, pressHostSeconds);
                log.logStep(hit.role, hit.label);
            },
            [&log, sighting](double x, double y) {
                sighting->reset();
                if (log.contains(x, y)) *sighting = Sighting{x, y, describeAt(x, y)};
            });
    }
    if (!tap) Out::log(kTapFailedLine);
    return tap;
}

}  // namespace run
