#include "input/input.h"

#include "base/capture_error.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "text/unicode.h"

namespace Input {
namespace {

constexpr uint16_t enterKeyCode = 36;

platform::InputEvents& events() { return *platform::services().input; }

void pause(uint32_t micros) { platform::services().clock->sleep(micros / 1e6); }

// Key down, hold, key up, pause: the same for a combination and for the Enter of a typed line feed.
// False, with nothing more posted, when the key-down could not be delivered.
bool pressParsed(const Combo& combo, int32_t pid) {
    if (!events().postKey(pid, combo.keyCode, combo.flags, true)) return false;
    pause(keyPauseMicros);
    events().postKey(pid, combo.keyCode, combo.flags, false);
    pause(keyPauseMicros);
    return true;
}

}  // namespace

bool press(const std::string& combo, int32_t pid) {
    const auto parsed = parseCombo(combo);
    if (!parsed) throw CaptureError("unknown key " + combo, "bad_request");
    return pressParsed(*parsed, pid);
}

bool type(const std::string& text, int32_t pid, uint32_t pauseMicros) {
    for (const std::string& character : text::graphemeClusters(text)) {
        // Only a lone line feed is Enter; a carriage return, alone or before a line feed, is a character.
        if (character == "\n") {
            if (!pressParsed(Combo{enterKeyCode, 0}, pid)) return false;
            continue;
        }
        if (!events().postCharacter(pid, character)) return false;
        pause(pauseMicros);
    }
    return true;
}

void click(platform::Point point) {
    events().postMouseMoved(point);
    pause(clickSettleMicros);
    events().postLeftDown(point);
    pause(buttonHoldMicros);
    events().postLeftUp(point);
}

bool reaches(platform::Point point, int32_t pid) { return events().pointReachesProcess(point, pid); }

void scroll(platform::Point point, int32_t dx, int32_t dy) {
    events().postMouseMoved(point);
    pause(scrollSettleMicros);
    // Integer division truncates toward zero: -300 gives -37 and 7 gives 0.
    const int32_t verticalPixels = dy / wheelEventsPerScroll;
    const int32_t horizontalPixels = dx / wheelEventsPerScroll;
    for (int i = 0; i < wheelEventsPerScroll; ++i) {
        events().postScroll(point, horizontalPixels, verticalPixels);
        pause(wheelSpacingMicros);
    }
}

}  // namespace Input
