#pragma once
// What a capture stream reads its pixels from: one window's own pixels, or a display composed without
// the windows of some processes. A source lives on its stream's frame thread and X connection.

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/linux/x11_io/x11_shm_image.h"
#include "platform/screen_capture.h"

namespace platform::linux_desktop {

/// BGRA pixels in client memory that a source draws into.
using Canvas = BgraPicture;

class FrameSource {
public:
    virtual ~FrameSource() = default;

    /// Prepares the connection (redirection, damage, events). Throws `CaptureError` when the content
    /// cannot be captured.
    virtual void attach() = 0;

    /// Takes one event of the connection into account.
    virtual void handle(const XEvent& event) = 0;

    /// True once the content is gone for good (the window was destroyed): the stream ends.
    virtual bool gone() const = 0;

    /// True when the content changed since the last `takeChanges`.
    virtual bool changed() = 0;

    /// True once the content is complete enough for a first frame.
    virtual bool settled() { return true; }

    /// Forgets the changes seen so far and says where they were, in the content's own pixels: absent when
    /// that is not known (the whole content may have changed). Changes made afterwards count for the next
    /// frame.
    virtual std::optional<std::vector<PixelRect>> takeChanges() = 0;

    /// The content's current size in pixels.
    virtual PixelRect bounds() = 0;

    /// Draws `area` of the content into `canvas` (of the area's size), the background where the content
    /// has no pixels; false when nothing can be read now (an unmapped window).
    virtual bool draw(const PixelRect& area, Canvas& canvas) = 0;
};

/// Waiting for applications to repaint what a new redirection left blank: the parts of a window that were
/// covered or off the screen have no pixels in its new pixmap until the application repaints them (the
/// server asks it to). Settled once a repaint came and a tick passed without another, or after half a
/// second when none comes or repainting goes on.
class RepaintWait {
public:
    /// Starts waiting now.
    void start();
    /// Notes damage to the content.
    void damaged();
    /// Asked once per tick until it says yes.
    bool settled();

private:
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool repainted_ = false;
    bool damagedSinceAsked_ = false;
};

/// How sources paint where the content has no pixels, and whether they keep the content's alpha.
struct SourceStyle {
    bool clearBackground = false;  // transparent instead of opaque black
    bool showsCursor = false;
};

/// The pixels of one window, wherever it is and whatever covers it (Composite), or its area of the
/// screen when the server has no Composite.
std::unique_ptr<FrameSource> makeWindowSource(Display* display, Window window, SourceStyle style);

/// A monitor's area of the screen, composed from the top-level windows that do not belong to
/// `excludedProcesses`, with the pointer when the style asks for it.
std::unique_ptr<FrameSource> makeDisplaySource(Display* display, const Rect& monitor,
                                               std::set<int32_t> excludedProcesses, SourceStyle style);

/// Copies `width` × `height` pixels at (`fromX`, `fromY`) of `image` to (`toX`, `toY`) of `canvas`, making
/// them opaque when `opaque` is set (a depth-24 image leaves the alpha byte undefined).
void copyPixels(const XImage& image, int fromX, int fromY, int width, int height, Canvas& canvas, int toX,
                int toY, bool opaque);

/// Fills `canvas` with the background of `style`.
void fillBackground(Canvas& canvas, const SourceStyle& style);

}  // namespace platform::linux_desktop
