#pragma once
// Applications on KWin: installed ones are desktop entries and start as on X11; running ones are the processes
// of the windows KWin lists, which KWin activates and places on request.

#include "platform/linux/desktop/entry_applications.h"
#include "platform/linux/kwin/kwin_windows.h"

namespace platform::linux_desktop {

class KWinApplications final : public EntryApplications {
public:
    std::vector<ApplicationProcess> running() override;
    void activate(const ApplicationProcess& application) override;
    std::optional<ScreenFrames> mainScreen() override;
    /// Places the window so that its client area, the part the tool records and reports, is `frame`.
    bool placeWindow(const ApplicationProcess& application, uint64_t windowID, const Rect& frame) override;
};

/// The identity, name and entry of the application that shows `window`: the desktop entry KWin matched, else
/// the one its application id, class or executable names.
ApplicationProcess describeWindowProcess(const KWinWindow& window);

}  // namespace platform::linux_desktop
