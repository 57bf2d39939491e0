#pragma once
// The user's left-button presses from XInput2 raw events, served by the GLib main loop.

#include "platform/user_events.h"

namespace platform::linux_desktop {

/// Each tap opens its own X connection, selects raw button presses on the root window for all master
/// devices, and watches the connection as a source on GLib's default main context. The position reported
/// is the pointer's, read when the press is handled.
class XInputUserEvents final : public UserEvents {
public:
    std::unique_ptr<PointerTap> tapLeftPresses(LeftPress onPress) override;
};

}  // namespace platform::linux_desktop
