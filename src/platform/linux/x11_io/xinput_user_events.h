#pragma once
// The user's left-button presses from XInput2 raw events, served by the GLib main loop.

#include "platform/user_events.h"

namespace platform::linux_desktop {

/// Each tap opens its own X connection, selects raw button presses on the root window for all master
/// devices, and watches the connection as a source on GLib's default main context. The position reported
/// is the pointer's, read when the press is handled. With a rest listener the tap also follows the
/// pointer's position (read every 20 ms), button releases, key presses and the root's top-level windows:
/// the pointer rests 40 ms after it last moved (and when the tap starts), and 200 ms after any of the others.
class XInputUserEvents final : public UserEvents {
public:
    std::unique_ptr<PointerTap> tapLeftPresses(LeftPress onPress, PointerAt onRest) override;
};

}  // namespace platform::linux_desktop
