#pragma once
// Applications on an XDG desktop under X11.

#include <mutex>

#include "platform/linux/desktop/entry_applications.h"
#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {

/// Running applications are processes owning top-level X windows, identified through the installed
/// desktop entries; installed applications are desktop entries; starting one runs its command detached.
/// Connects to the display on first use. Safe to call from any one thread at a time.
class X11Applications final : public EntryApplications {
public:
    std::vector<ApplicationProcess> running() override;
    void activate(const ApplicationProcess& application) override;
    std::optional<ScreenFrames> mainScreen() override;
    bool placeWindow(const ApplicationProcess& application, uint64_t windowID, const Rect& frame) override;

private:
    // The display connection, opened on first use; null when there is no display.
    Display* display();

    std::mutex mutex_;
    DisplayPtr display_;
    bool triedDisplay_ = false;
};

}  // namespace platform::linux_desktop
