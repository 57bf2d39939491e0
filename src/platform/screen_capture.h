#pragma once
// What can be recorded on the desktop, and streams of its frames.
//
// The content is a snapshot of plain values taken when asked. A content filter says what one stream
// records: one window's own pixels, or a display without the windows of some applications. A stream
// delivers frames to a sink on one thread of its own, the recorder's frame thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/bgra_picture.h"
#include "platform/geometry.h"

namespace platform {

/// A running application that owns capturable windows.
struct RunningApplication {
    int32_t processID = 0;
    std::string bundleIdentifier;  // the desktop identity; "" when unknown
    std::string applicationName;   // the application's display name; "" when unknown
};

/// A top-level window as the desktop reports it.
struct ShareableWindow {
    uint64_t windowID = 0;                                // the desktop's own handle of the window
    std::optional<RunningApplication> owningApplication;  // absent when no process can be found
    int windowLayer = 0;                                  // 0 for ordinary application windows
    Rect frame;                                           // in global screen coordinates
    std::optional<std::string> title;                     // absent when the window has none
};

/// A monitor.
struct ShareableDisplay {
    uint32_t displayID = 0;
    Rect frame;  // in global screen coordinates
    bool primary = false;
};

/// Everything capturable at one moment. Windows are in the desktop's stacking order, front first.
struct ShareableContent {
    std::vector<ShareableWindow> windows;
    std::vector<ShareableDisplay> displays;
    std::vector<RunningApplication> applications;
};

/// What one stream records, with the geometry the desktop reports for it. Made by `ScreenCapture`.
struct ContentFilter {
    enum class Kind { window, display };
    Kind kind = Kind::window;
    ShareableWindow window;                                // for Kind::window
    ShareableDisplay display;                              // for Kind::display
    std::vector<RunningApplication> excludedApplications;  // for Kind::display
    Rect contentRect;              // the recorded area in points, global screen coordinates
    double pointPixelScale = 1.0;  // pixels per point of the recorded content

    /// The whole of `window`, at one pixel a point.
    static ContentFilter ofWindow(const ShareableWindow& window) {
        ContentFilter filter;
        filter.kind = Kind::window;
        filter.window = window;
        filter.contentRect = window.frame;
        return filter;
    }
    /// The whole of `display` less the windows of `excluding`, at one pixel a point.
    static ContentFilter ofDisplay(const ShareableDisplay& display, const std::vector<RunningApplication>& excluding) {
        ContentFilter filter;
        filter.kind = Kind::display;
        filter.display = display;
        filter.excludedApplications = excluding;
        filter.contentRect = display.frame;
        return filter;
    }
};

/// How a stream records. Frames are BGRA pictures.
struct StreamConfiguration {
    std::optional<Rect> sourceRect;  // in the filter's own points, origin at its top left
    int width = 0;                   // pixels of a delivered frame (a source rectangle of another size may
    int height = 0;                  // come at its own size, for the movie writer to scale)
    bool showsCursor = false;
    bool clearBackground = false;  // transparent background where nothing is drawn; black otherwise
    int32_t minimumFrameIntervalTimescale = 30;  // at most this many frames per second
    int queueDepth = 8;                          // at most this many delivered frames in flight
    bool scalesToFit = false;
    std::string threadName = "quorrel.capture.frames";  // the name of the stream's frame thread
};

/// One frame's pixels, a BGRA picture that receivers only read. `storage` keeps `bytes` alive; whoever
/// holds a copy of the buffer may read it until the copy is dropped, on any thread.
///
/// A stream numbers the frames it delivers (`sequence`, from 1) and may say where a frame differs from
/// the one it delivered just before (`changedAreas`), so that a receiver that saw that frame only needs to
/// look at those areas. Without them (sequence 0, or no areas), the whole frame may have changed.
struct PixelBuffer : BgraPicture {
    std::shared_ptr<const void> storage;
    uint64_t sequence = 0;
    std::optional<std::vector<PixelRect>> changedAreas;
};

/// Whether a frame carries new content.
enum class FrameStatus { complete, idle };

/// One sample a stream delivers.
struct CapturedFrame {
    FrameStatus status = FrameStatus::complete;
    std::optional<PixelBuffer> image;  // absent when the sample carries no pixels
    double presentationSeconds = 0;    // on the host clock (`Clock::hostSeconds`)
};

/// Receives a stream's frames, one at a time, on the stream's frame thread.
using FrameSink = std::function<void(const CapturedFrame& frame)>;

/// A running capture of one content filter.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;

    /// Starts delivering frames to the sink; returns once capture runs. Throws the desktop's error.
    virtual void start() = 0;

    /// Stops capture; once it returns the sink is never called again. Safe to call twice or unstarted.
    virtual void stop() = 0;
};

/// The desktop's capture service.
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;

    /// The capturable content now: on-screen windows (desktop windows included), displays, applications.
    /// Throws the desktop's error when it cannot be asked.
    virtual ShareableContent shareableContent() = 0;

    /// Pixels per point of what this desktop records: 1 unless its screens are scaled.
    virtual double pointPixelScale() { return 1; }

    /// A filter recording `window`'s own pixels, wherever it is and whatever covers it.
    ContentFilter windowFilter(const ShareableWindow& window) {
        ContentFilter filter = ContentFilter::ofWindow(window);
        filter.pointPixelScale = pointPixelScale();
        return filter;
    }

    /// A filter recording `display` without the windows of `excluding`.
    ContentFilter displayFilter(const ShareableDisplay& display, const std::vector<RunningApplication>& excluding) {
        ContentFilter filter = ContentFilter::ofDisplay(display, excluding);
        filter.pointPixelScale = pointPixelScale();
        return filter;
    }

    /// A stream of `filter` configured by `configuration`, delivering to `sink` once started. Connects
    /// to the desktop when needed; throws the desktop's error when the stream cannot be made.
    virtual std::unique_ptr<CaptureStream> makeStream(const ContentFilter& filter,
                                                      const StreamConfiguration& configuration,
                                                      FrameSink sink) = 0;
};

}  // namespace platform
