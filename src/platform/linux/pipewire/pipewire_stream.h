#pragma once
// Frames of a compositor's screen cast, read from its PipeWire node and handed to a sink at the stream's
// frame rate: a new frame when the compositor sent one, an idle sample otherwise, so that an unchanged
// window costs nothing.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/screen_capture.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;

namespace platform::linux_desktop {

/// A recorded window as its toolkit measures it (its extents' size) and the part of it that a person sees,
/// in the same coordinates: a toolkit that draws its shadow inside its extents (GTK 3) has it left out there.
struct WindowArea {
    double width = 0, height = 0;
    Rect visible;
};

/// What a stream asks of the desktop module that made it, which alone knows its compositor.
struct StreamHooks {
    /// Told, at every frame of a window stream, where the window's own corner is in the stream's content,
    /// so that pointer positions in the window's coordinates can follow it (empty: nobody needs it).
    std::function<void(int x, int y)> windowCornerMoved;
    /// Asked when the stream stops: false when the compositor has gone (the desktop is lost), true when
    /// only the recorded window went away (empty: the compositor is taken to run on).
    std::function<bool()> compositorRunning;
    /// Said after "no frame came within 5 s" when a compositor is known to leave some streams without
    /// frames (empty: nothing to add).
    std::string whyNoFrame;
};

class PipeWireStream final : public CaptureStream {
public:
    /// A stream of node `nodeId` cut to `configuration.sourceRect` (when set) and scaled to its size. For a
    /// window stream whose content holds more than the window, `window` says where in that content the window
    /// is: a toolkit that draws its shadow outside its extents (GTK 4) has it centred in the content, and
    /// `hooks.windowCornerMoved` hears the offset; the recording is the window's visible part, and
    /// `sourceRect` is measured from its corner. Without `window` the whole content is recorded.
    PipeWireStream(uint32_t nodeId, StreamConfiguration configuration, FrameSink sink, StreamHooks hooks,
                   std::optional<WindowArea> window = std::nullopt);
    ~PipeWireStream() override;

    /// Connects to PipeWire and waits (up to 5 s) for the first frame; throws CaptureError when none comes.
    void start() override;
    void stop() override;

    // Called on PipeWire's thread.
    void formatChanged(int width, int height, bool hasAlpha);
    void frameArrived();
    void failed(const char* reason);
    void producerStopped();

private:
    // Where in the buffer the window's extents are, or the whole monitor (mutex_ held).
    PixelRect toolkitAreaLocked() const;
    // The part of the buffer that is recorded: the monitor, or the window's visible part (mutex_ held).
    PixelRect recordedAreaLocked() const;
    void tick();
    void deliver(double presentationSeconds);

    uint32_t nodeId_;
    StreamConfiguration configuration_;
    std::optional<WindowArea> window_;
    FrameSink sink_;
    StreamHooks hooks_;
    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    struct Listener;
    std::unique_ptr<Listener> listener_;

    std::mutex mutex_;
    std::condition_variable changed_;
    int sourceWidth_ = 0, sourceHeight_ = 0;
    bool sourceHasAlpha_ = false;
    std::vector<uint8_t> latest_;             // the last frame received, BGRA, sourceWidth_ * 4 per row
    std::optional<PixelRect> content_;       // the part of the buffer that holds the content, when said
    std::optional<PixelRect> opaque_;        // where a window stream's content is opaque, when it says
    std::vector<PixelRect> damage_;           // where it changed since the last frame delivered
    bool wholeDamaged_ = true;
    uint64_t received_ = 0, delivered_ = 0;
    std::string failure_;
    bool producerStopped_ = false;

    std::thread ticker_;
    std::atomic<bool> running_{false};
    uint64_t sequence_ = 0;
};

}  // namespace platform::linux_desktop
