#pragma once
// An input event sink for unit tests: records every posted event with the clock time it was posted at.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/accessibility.h"

#include "platform/clock.h"
#include "platform/input_events.h"

namespace fakes {

struct PostedEvent {
    enum class Kind { keyDown, keyUp, character, mouseMoved, leftDown, leftUp, scroll };
    Kind kind = Kind::keyDown;
    double atSeconds = 0;  // the clock's host time when the event was posted
    int32_t pid = 0;
    uint16_t keyCode = 0;
    uint64_t flags = 0;
    std::string character;
    platform::Point point;
    int32_t dxPixels = 0;
    int32_t dyPixels = 0;
};

class FakeInput final : public platform::InputEvents {
public:
    /// Stamps events with `clock`'s host time (0 without a clock).
    explicit FakeInput(platform::Clock* clock = nullptr) : clock_(clock) {}

    std::vector<PostedEvent> events;

    /// A window on the fake screen: who owns it and where it is.
    struct ScreenWindow {
        int32_t pid = 0;
        platform::Rect frame;
    };
    /// The windows on screen, top-most first; with none, every point reaches every process.
    std::vector<ScreenWindow> windowsTopFirst;
    /// Processes none of whose windows can take the keyboard focus: their key events are not delivered.
    std::set<int32_t> unfocusable;

    bool postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) override;
    bool postCharacter(int32_t pid, const std::string& character) override;
    bool pointReachesProcess(platform::Point point, int32_t pid) override;
    void postMouseMoved(platform::Point point) override;
    void postLeftDown(platform::Point point) override;
    void postLeftUp(platform::Point point) override;
    void postScroll(platform::Point point, int32_t dxPixels, int32_t dyPixels) override;

    /// The text of all posted characters, in order.
    std::string typedText() const;

private:
    PostedEvent& record(PostedEvent::Kind kind);
    platform::Clock* clock_;
};

}  // namespace fakes
