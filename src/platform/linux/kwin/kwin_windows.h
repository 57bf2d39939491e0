#pragma once
// KWin's windows, read and changed through KWin scripts: the window list a person sees, with frames in the
// compositor's logical coordinates (the screen points of every request), focus and placement.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace platform::linux_desktop {

/// One window as KWin manages it.
struct KWinWindow {
    std::string internalId;  // KWin's UUID of the window ("{4b44338e-…}"), which its screen cast takes
    uint64_t windowID = 0;   // the capture service's id: a hash of internalId, below 2^53
    int32_t pid = 0;
    std::string caption;
    std::string resourceClass;    // a Wayland client's application id ("org.kde.kcalc")
    std::string resourceName;
    std::string desktopFileName;  // the desktop entry KWin matched, without ".desktop"; "" when none
    Rect frame;       // as KWin places it, its title bar included
    Rect surface;     // what the client draws, a shadow it draws included
    Rect clientArea;  // the window without KWin's decoration and without the client's shadow: what its
                      // screen cast shows, and the frame the tool reports for it
    bool active = false;
    bool minimized = false;
    bool ordinary = false;  // a normal window or a dialog, as opposed to panels, pop-ups and the desktop
    int stackingOrder = 0;
};

/// The screen windows are placed on: its whole frame and the part panels leave to windows.
struct KWinScreen {
    Rect frame;
    Rect workArea;
};

/// What KWin shows: every window, front first, and the active screen (when KWin said).
struct KWinDesktop {
    std::vector<KWinWindow> windows;
    std::optional<KWinScreen> screen;
};

/// The windows and the screen now. An answer serves the reads of the next moment (a tree dump asks for many
/// windows' places); a change the tool makes is seen at once. Throws CaptureError when KWin cannot be asked.
KWinDesktop kwinDesktop();

/// The window whose capture id is `windowID`, or nothing.
std::optional<KWinWindow> kwinWindowWithID(uint64_t windowID);

/// The capture id of the window whose UUID is `internalId`.
uint64_t kwinWindowID(const std::string& internalId);

/// The front window of process `pid` among its ordinary ones, or nothing.
std::optional<KWinWindow> frontWindowOf(int32_t pid);

/// Activates `window` (restored when minimized, raised, given the keyboard focus); true when KWin did.
bool activateKWinWindow(const KWinWindow& window);

/// Moves and sizes `window` so that its client area has `origin` and `size` (either may be absent: that part
/// is kept), KWin's decoration around it; waits until the client has taken the new size (1 s at most: a
/// client may keep a size of its own). False when the window is gone.
bool placeKWinWindow(const KWinWindow& window, std::optional<Point> origin, std::optional<Size> size);

}  // namespace platform::linux_desktop
