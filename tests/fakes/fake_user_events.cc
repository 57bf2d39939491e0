#include "fakes/fake_user_events.h"

namespace fakes {
namespace {

class FakeTap final : public platform::PointerTap {
public:
    using Disable = std::function<void()>;
    FakeTap(Disable disable, Disable remove) : disable_(std::move(disable)), remove_(std::move(remove)) {}
    ~FakeTap() override { remove_(); }
    void disable() override { disable_(); }

private:
    Disable disable_;
    Disable remove_;
};

}  // namespace

std::unique_ptr<platform::PointerTap> FakeUserEvents::tapLeftPresses(LeftPress onPress, PointerAt onRest) {
    if (!available) return nullptr;
    ++tapsMade;
    auto state = std::make_shared<State>();
    state->onPress = std::move(onPress);
    state->onRest = std::move(onRest);
    current_ = state;
    return std::make_unique<FakeTap>([state] { state->enabled = false; }, [state] { state->installed = false; });
}

bool FakeUserEvents::pressLeft(double x, double y, std::optional<double> pressHostSeconds) {
    if (!current_ || !current_->installed || !current_->enabled) return false;
    current_->onPress(x, y, pressHostSeconds);
    return true;
}

bool FakeUserEvents::restAt(double x, double y) {
    if (!current_ || !current_->installed || !current_->enabled || !current_->onRest) return false;
    current_->onRest(x, y);
    return true;
}

bool FakeUserEvents::tapEnabled() const { return current_ && current_->installed && current_->enabled; }

}  // namespace fakes
