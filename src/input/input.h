#pragma once
// Keyboard and pointer events with which a scripted run drives the target application: key
// combinations, typed text, clicks and scroll-wheel motion. Every operation paces itself with fixed
// blocking sleeps, which are part of its behaviour.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/input_events.h"

namespace Input {

/// A parsed key combination: a virtual key code and modifier flag bits.
struct Combo {
    uint16_t keyCode = 0;
    uint64_t flags = 0;

    bool operator==(const Combo&) const = default;
};

/// Pauses in microseconds.
inline constexpr uint32_t keyPauseMicros = 12000;          // after each key-down and key-up of a press
inline constexpr uint32_t characterPauseMicros = 35000;    // after each typed character, by default
inline constexpr uint32_t clickSettleMicros = 30000;       // after the move, before the button goes down
inline constexpr uint32_t buttonHoldMicros = 40000;        // between button down and button up
inline constexpr uint32_t scrollSettleMicros = 20000;      // after the move, before the first wheel event
inline constexpr uint32_t wheelSpacingMicros = 16000;      // after each wheel event
inline constexpr int wheelEventsPerScroll = 8;

/// The 76 key names (all lower case) and their virtual key codes, built once on first use.
const std::map<std::string, uint16_t>& keyCodes();

/// Parses a combination such as "cmd+shift+s": lower-cased, split at "+", modifier words add their
/// flags and the last other part names the key. Absent when no known key remains.
std::optional<Combo> parseCombo(std::string_view text);

/// Presses and releases the combination `combo` in process `pid`. Throws CaptureError ("unknown key ",
/// "bad_request") when it cannot be parsed; nothing is posted then. False when the key could not be
/// delivered to the process.
bool press(const std::string& combo, int32_t pid);

/// Types `text` into process `pid` one user-perceived character at a time, pausing `pauseMicros` after
/// each; a line feed is pressed as the Enter key. Stops at the first character that cannot be delivered
/// to the process and returns false; true when every character was.
bool type(const std::string& text, int32_t pid, uint32_t pauseMicros = characterPauseMicros);

/// Clicks the left button at `point`.
void click(platform::Point point);

/// Whether a click at `point` reaches process `pid`: the window there is one of its own.
bool reaches(platform::Point point, int32_t pid);

/// Scrolls at `point` by `dx` (horizontal) and `dy` (vertical) pixels in eight equal wheel events; the
/// remainder of each amount divided by eight is dropped.
void scroll(platform::Point point, int32_t dx, int32_t dy);

}  // namespace Input
