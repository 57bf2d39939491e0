#include "run/step_actions.h"

#include "app/capture_error.h"

namespace run {

Out::Message preflightSteps(const std::vector<jobs::Step>& steps, const std::optional<platform::Element>&,
                            const std::optional<platform::Element>&) {
    if (!steps.empty()) throw CaptureError(kStepsUnavailable);
    return {{"checked", Out::Message::array()}, {"deferred", Out::Message::array()}};
}

void performStep(const jobs::Step&, size_t, int32_t, const std::optional<platform::Element>&,
                 const std::optional<platform::Element>&, ClickLog&) {
    throw CaptureError(kStepsUnavailable);
}

}  // namespace run
