#pragma once
// Synthesised input on GNOME's Wayland compositor, through its remote desktop session: keysyms (so any
// layout and any character), and the pointer in the recorded window's coordinates.

#include <mutex>

#include "platform/input_events.h"

namespace platform::linux_desktop {

class MutterInput final : public InputEvents {
public:
    bool postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) override;
    bool postCharacter(int32_t pid, const std::string& character) override;
    bool pointReachesProcess(Point point, int32_t pid) override;
    void postMouseMoved(Point point) override;
    void postLeftDown(Point point) override;
    void postLeftUp(Point point) override;
    void postScroll(Point point, int32_t dxPixels, int32_t dyPixels) override;
};

/// True when process `pid` has the window that holds the keyboard focus (asked of the accessibility bus,
/// remembered a moment so that typed text does not ask at every key).
bool processHasFocus(int32_t pid);

}  // namespace platform::linux_desktop
