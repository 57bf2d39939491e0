#pragma once
// The user's pointer presses as GNOME Shell's extension tells them: the only way a client sees presses on
// other clients' windows under Wayland.

#include "platform/user_events.h"

namespace platform::linux_desktop {

class ShellPointerPresses final : public UserEvents {
public:
    /// Subscribes to the extension's presses on a connection of the tap's own, and calls `onPress` for each
    /// press of the primary button from the main loop, with the press's time. None when the extension does not
    /// run or refuses.
    std::unique_ptr<PointerTap> tapLeftPresses(LeftPress onPress, PointerAt onRest) override;
};

}  // namespace platform::linux_desktop
