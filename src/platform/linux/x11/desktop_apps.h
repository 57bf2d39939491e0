#pragma once
// Applications on an XDG desktop under X11.

#include <mutex>

#include "platform/applications.h"
#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {

/// Running applications are processes owning top-level X windows, identified through the installed
/// desktop entries; installed applications are desktop entries; starting one runs its command detached.
/// Connects to the display on first use. Safe to call from any one thread at a time.
class DesktopApplications final : public Applications {
public:
    std::vector<ApplicationProcess> running() override;
    bool isTerminated(int32_t pid) override;
    bool isApplicationPath(const std::string& path) override;
    std::optional<std::string> applicationWithIdentity(const std::string& identity) override;
    std::optional<std::string> applicationNamed(const std::string& name) override;
    ApplicationProcess open(const std::string& path) override;
    std::optional<std::string> identityOf(const std::string& path) override;
    bool descendsFrom(int32_t pid, int32_t ancestor) override;
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
