#pragma once
// Synthesised keyboard and pointer events.
//
// Keys are named by the hardware-independent virtual key numbers of the US layout and modifiers by event
// flag bits, whatever the desktop's own keyboard model; each backend turns them into its own events.
// An event the desktop cannot make is skipped. Key events say whether they reached the process, and the
// pointer can be asked whether a point lies on the process's windows, so that nothing aimed at an
// application is reported as done when it went elsewhere.

#include <cstdint>
#include <string>

#include "platform/geometry.h"

namespace platform {

/// Modifier flag bits of a key event.
namespace modifier {
inline constexpr uint64_t shift = 0x20000;
inline constexpr uint64_t control = 0x40000;
inline constexpr uint64_t alternate = 0x80000;
/// The primary shortcut modifier ("cmd").
inline constexpr uint64_t command = 0x100000;
}  // namespace modifier


class InputEvents {
public:
    virtual ~InputEvents() = default;

    /// Posts one key transition of virtual key `keyCode` to process `pid`, with exactly the modifiers in
    /// `flags` in effect (held from the key going down until it comes up). False when a key-down could not
    /// be delivered to the process (none of its windows could take the keyboard focus); nothing is posted
    /// then. A key-up always releases what its key-down pressed.
    virtual bool postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) = 0;

    /// Types one user-perceived character `character` (UTF-8) into process `pid`: its key goes down and
    /// comes up at once, with no modifiers of the caller's. False, with nothing posted, when it could not be
    /// delivered to the process.
    virtual bool postCharacter(int32_t pid, const std::string& character) = 0;

    /// True when the top-most window at `point` belongs to process `pid` (one of its windows, or a pop-up
    /// of it), so that a click there reaches that process.
    virtual bool pointReachesProcess(Point point, int32_t pid) = 0;

    /// Moves the pointer to `point`.
    virtual void postMouseMoved(Point point) = 0;

    /// Presses the left button at `point`.
    virtual void postLeftDown(Point point) = 0;

    /// Releases the left button at `point`.
    virtual void postLeftUp(Point point) = 0;

    /// Posts one scroll-wheel event at `point` of `dxPixels` horizontally and `dyPixels` vertically.
    /// Positive `dyPixels` scrolls up (towards the top of the content), positive `dxPixels` scrolls left.
    virtual void postScroll(Point point, int32_t dxPixels, int32_t dyPixels) = 0;
};

}  // namespace platform
