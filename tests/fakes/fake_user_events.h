#pragma once
// A pointer the test presses by hand: the tap's callback is called when the test says so.

#include <memory>
#include <optional>

#include "platform/user_events.h"

namespace fakes {

class FakeUserEvents final : public platform::UserEvents {
public:
    /// Whether taps can be made.
    bool available = true;
    int tapsMade = 0;

    std::unique_ptr<platform::PointerTap> tapLeftPresses(LeftPress onPress, PointerAt onRest) override;

    /// Delivers a left press at (`x`, `y`), made at `pressHostSeconds` when given, to the current tap, if it
    /// is enabled; returns whether it was.
    bool pressLeft(double x, double y, std::optional<double> pressHostSeconds = std::nullopt);

    /// Tells the current tap, if it is enabled, that the pointer has come to rest at (`x`, `y`).
    bool restAt(double x, double y);

    /// Whether the last tap made is still installed and enabled.
    bool tapEnabled() const;

private:
    struct State {
        LeftPress onPress;
        PointerAt onRest;
        bool enabled = true;
        bool installed = true;
    };
    std::shared_ptr<State> current_;
};

}  // namespace fakes
