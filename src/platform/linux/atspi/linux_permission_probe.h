#pragma once
// Permissions as an X11 desktop grants them.

#include "platform/permission_probe.h"

namespace platform::linux_desktop {

/// Screen recording: the X display opens and the root window's pixels can be read. Accessibility: the
/// accessibility bus answers, desktop accessibility is on and the display has XTEST. Asking for
/// accessibility turns desktop accessibility on; there is nothing to ask for screen recording.
class LinuxPermissionProbe final : public PermissionProbe {
public:
    bool screenRecording() override;
    bool accessibility() override;
    void requestScreenRecording() override;
    void requestAccessibility() override;
};

}  // namespace platform::linux_desktop
