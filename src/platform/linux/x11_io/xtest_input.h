#pragma once
// Keyboard and pointer events through the XTEST extension.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/input_events.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11_io/xtest_keyboard.h"

namespace platform::linux_desktop {

class XTestInput final : public InputEvents {
public:
    /// Pixels of scrolling that make one wheel notch (one press of button 4, 5, 6 or 7).
    static constexpr int pixelsPerNotch = 40;
    /// The most notches one scroll event sends, so that an absurd amount cannot flood the server.
    static constexpr int maxNotchesPerEvent = 50;
    /// How long key events wait for the target's window to take the keyboard focus.
    static constexpr double focusTimeoutSeconds = 2.0;

    XTestInput() = default;
    ~XTestInput() override;

    bool postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) override;
    bool postCharacter(int32_t pid, const std::string& character) override;
    bool pointReachesProcess(Point point, int32_t pid) override;
    void postMouseMoved(Point point) override;
    void postLeftDown(Point point) override;
    void postLeftUp(Point point) override;
    void postScroll(Point point, int32_t dxPixels, int32_t dyPixels) override;

private:
    // A key pressed by postKey and not yet released, with the modifier keys held around it.
    struct HeldKey {
        uint16_t virtualKey = 0;
        KeyCode keycode = 0;
        std::vector<KeyCode> modifiers;
    };

    Display* display();
    bool reachProcess(Display* display, int32_t pid);
    void moveTo(Display* display, Point point);
    void wheel(Display* display, unsigned button, int notches);

    std::mutex mutex_;
    DisplayPtr display_;
    bool displayTried_ = false;
    SpareKeys spareKeys_;
    std::vector<HeldKey> held_;
    int carriedHorizontalPixels_ = 0;
    int carriedVerticalPixels_ = 0;
    std::optional<int32_t> unreachablePid_;
    std::chrono::steady_clock::time_point unreachableSince_;
};

}  // namespace platform::linux_desktop
