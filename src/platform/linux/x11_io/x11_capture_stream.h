#pragma once
// A capture stream on X11: a frame thread with its own X connection and a timer at the frame rate, which
// also wakes for the connection's events between ticks.

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/linux/x11/x11_display.h"
#include "platform/screen_capture.h"

namespace platform::linux_desktop {

class FrameSource;

class X11CaptureStream final : public CaptureStream {
public:
    X11CaptureStream(ContentFilter filter, StreamConfiguration configuration, FrameSink sink);
    ~X11CaptureStream() override;

    void start() override;
    void stop() override;

private:
    struct Buffer;

    void run();
    bool stopping();
    void waitForEvents(std::chrono::steady_clock::duration timeout);
    void handleEvents();
    /// Takes a frame when the content changed (or, for the first, is complete): true when one was delivered.
    bool tick(bool& first, double tickSeconds);
    std::shared_ptr<Buffer> freeBuffer();
    void deliver(const std::shared_ptr<Buffer>& buffer, int width, int height, double presentationSeconds,
                 std::optional<std::vector<PixelRect>> changes);

    ContentFilter filter_;
    StreamConfiguration configuration_;
    FrameSink sink_;

    DisplayPtr display_;
    std::unique_ptr<FrameSource> source_;
    std::vector<std::shared_ptr<Buffer>> pool_;  // a buffer is in flight while anyone else holds it

    std::thread thread_;
    std::mutex mutex_;
    int wakeFd_ = -1;  // written by `stop`, so that the frame thread's wait ends at once
    uint64_t delivered_ = 0;     // frames delivered so far: the last one's sequence number
    bool changesLost_ = false;   // changes were taken since the last delivered frame
    bool stopping_ = false;
    bool started_ = false;
};

}  // namespace platform::linux_desktop
