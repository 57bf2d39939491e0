#pragma once
// Listening to what the user does with the pointer, anywhere on the desktop.

#include <functional>
#include <memory>
#include <optional>

namespace platform {

/// An installed listener. Destroying it removes it.
class PointerTap {
public:
    virtual ~PointerTap() = default;

    /// Stops delivering presses for good; the listener stays installed until it is destroyed.
    virtual void disable() = 0;
};

/// The user's own input, observed without being changed or consumed.
class UserEvents {
public:
    /// Called with the pointer's position in global screen points.
    using PointerAt = std::function<void(double x, double y)>;
    /// Called with the pointer's position in global screen points when the left button goes down, and, when
    /// the desktop tells it, the moment it went down on the host clock (`Clock::hostSeconds`), which may be a
    /// moment before the call.
    using LeftPress = std::function<void(double x, double y, std::optional<double> pressHostSeconds)>;

    virtual ~UserEvents() = default;

    /// Starts listening for presses of the left button anywhere on the desktop. `onPress` is called on the
    /// main thread while the main loop is served, never at other times. `onRest` (may be empty) is called
    /// the same way when the pointer has come to rest at a point, and again when what lies under a resting
    /// pointer may have changed (a button or key was pressed, a window appeared, moved or went): a press and
    /// its release can follow each other within a millisecond, and what the press hit (an item of a menu
    /// that the release closes) is gone before any listener can look, so a listener looks at rest instead.
    /// None when no listener can be made.
    virtual std::unique_ptr<PointerTap> tapLeftPresses(LeftPress onPress, PointerAt onRest) = 0;
};

}  // namespace platform
