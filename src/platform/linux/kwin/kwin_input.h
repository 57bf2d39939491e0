#pragma once
// Synthesised input on KWin, through its fake input protocol (org_kde_kwin_fake_input): keys as evdev codes on
// the compositor's own keymap (any layout), so that a character on no key of it is typed through the
// toolkit's Unicode entry where the toolkit has one; the pointer in screen coordinates. Keys go to the window
// KWin focuses, which is made the target process's first.

#include <map>
#include <mutex>
#include <vector>

#include "platform/input_events.h"
#include "platform/linux/kwin/kwin_keymap.h"

namespace platform::linux_desktop {

class KWinInput final : public InputEvents {
public:
    bool postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) override;
    bool postCharacter(int32_t pid, const std::string& character) override;
    bool pointReachesProcess(Point point, int32_t pid) override;
    void postMouseMoved(Point point) override;
    void postLeftDown(Point point) override;
    void postLeftUp(Point point) override;
    void postScroll(Point point, int32_t dxPixels, int32_t dyPixels) override;

private:
    // The keymap as the compositor has it now; false when it cannot be had.
    bool keymapReady();
    // The stroke typing `keysym`; throws CaptureError naming it when the layout has no key for it.
    KeyStroke strokeOrFail(uint32_t keysym, const std::string& what);
    // Types `stroke` (its modifiers held around the key).
    void type(const KeyStroke& stroke);
    // Types code point `point` through GTK's Unicode entry: Ctrl+Shift+U, its hex digits, a space.
    void typeThroughUnicodeEntry(char32_t point);

    std::mutex mutex_;
    KWinKeymap keymap_;
    std::map<uint16_t, std::vector<uint32_t>> pressed_;  // by virtual key: the keys its key-down pressed
};

/// True when a window of process `pid` has KWin's keyboard focus, once KWin was asked to give it one.
bool focusProcess(int32_t pid);

}  // namespace platform::linux_desktop
