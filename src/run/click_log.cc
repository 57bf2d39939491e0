#include "run/click_log.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/services.h"
#include "text/rounding.h"

namespace run {

ClickLog::ClickLog(jobs::Rect rect, TimeBase firstFrameHostSeconds)
    : rect_(rect), firstFrameHostSeconds_(std::move(firstFrameHostSeconds)) {}

double ClickLog::now() const { return at(platform::services().clock->hostSeconds()); }

double ClickLog::at(double hostSeconds) const {
    const auto start = firstFrameHostSeconds_ ? firstFrameHostSeconds_() : std::nullopt;
    if (!start) return 0;
    return std::max(0.0, hostSeconds - *start);
}

void ClickLog::log(double x, double y, const std::optional<std::string>& role, const std::optional<std::string>& label,
                   std::optional<double> atHostSeconds) {
    // The rectangle's minimum corner and size as the platform reads any rectangle: standardised first.
    const double minX = std::min(rect_.x, rect_.x + rect_.width);
    const double minY = std::min(rect_.y, rect_.y + rect_.height);
    Out::Message entry = {
        {"t", text::roundHalfAwayFromZero((atHostSeconds ? at(*atHostSeconds) : now()) * 1000) / 1000},
        {"x", (x - minX) / std::abs(rect_.width)},
        {"y", (y - minY) / std::abs(rect_.height)},
    };
    if (role) entry["role"] = *role;
    if (label) entry["label"] = *label;
    clicks_.push_back(std::move(entry));
}

void ClickLog::logStep(const std::optional<std::string>& role, const std::optional<std::string>& label) {
    Out::Message entry = {{"action", "click"}};
    if (role) entry["role"] = *role;
    if (label) entry["label"] = *label;
    steps_.push_back(std::move(entry));
}

bool ClickLog::contains(double x, double y) const {
    // A rectangle with a negative size covers the same points as its standardised form.
    const double left = std::min(rect_.x, rect_.x + rect_.width);
    const double right = std::max(rect_.x, rect_.x + rect_.width);
    const double top = std::min(rect_.y, rect_.y + rect_.height);
    const double bottom = std::max(rect_.y, rect_.y + rect_.height);
    return x >= left && x < right && y >= top && y < bottom;
}

}  // namespace run
