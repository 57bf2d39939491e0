#include "platform/linux/x11_io/x11_capture_stream.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>

#include "base/capture_error.h"
#include "platform/linux/host_clock.h"
#include "platform/linux/x11_io/x11_frame_sources.h"

namespace platform::linux_desktop {

struct X11CaptureStream::Buffer {
    std::vector<uint8_t> bytes;
    uint64_t holds = 0;  // the sequence number of the frame whose pixels it holds (0: none)
};

namespace {

// The largest width or height of an X drawable.
constexpr int kLargestSide = 32767;

// The parts of `areas` (in content pixels) inside `frame`, in the frame's own pixels.
std::vector<PixelRect> clippedTo(const std::vector<PixelRect>& areas, const PixelRect& frame) {
    std::vector<PixelRect> clipped;
    for (const auto& area : areas) {
        const int left = std::max(area.x, frame.x), top = std::max(area.y, frame.y);
        const int right = std::min(area.x + area.width, frame.x + frame.width);
        const int bottom = std::min(area.y + area.height, frame.y + frame.height);
        if (right > left && bottom > top)
            clipped.push_back({left - frame.x, top - frame.y, right - left, bottom - top});
    }
    return clipped;
}

PixelRect rounded(const Rect& rect) {
    return {int(std::lround(rect.x)), int(std::lround(rect.y)), int(std::lround(rect.width)),
            int(std::lround(rect.height))};
}

}  // namespace

X11CaptureStream::X11CaptureStream(ContentFilter filter, StreamConfiguration configuration, FrameSink sink)
    : filter_(std::move(filter)), configuration_(std::move(configuration)), sink_(std::move(sink)) {
    if (configuration_.width <= 0 || configuration_.height <= 0) {
        throw CaptureError("the frame size must be at least one pixel", "external");
    }
    if (configuration_.width > kLargestSide || configuration_.height > kLargestSide) {
        throw CaptureError("the frame size is larger than an X screen can be", "external");
    }
    if (configuration_.minimumFrameIntervalTimescale <= 0) {
        throw CaptureError("the frame rate must be positive", "external");
    }
}

X11CaptureStream::~X11CaptureStream() {
    stop();
    if (wakeFd_ >= 0) close(wakeFd_);
}

void X11CaptureStream::start() {
    std::lock_guard lock(mutex_);
    if (started_) return;
    display_ = openDisplay();
    if (!display_) throw CaptureError("cannot open the X display", "external");
    SourceStyle style{configuration_.clearBackground, configuration_.showsCursor};
    if (filter_.kind == ContentFilter::Kind::window) {
        source_ = makeWindowSource(display_.get(), Window(filter_.window.windowID), style);
    } else {
        std::set<int32_t> excluded;
        for (const auto& application : filter_.excludedApplications) excluded.insert(application.processID);
        source_ = makeDisplaySource(display_.get(), filter_.display.frame, std::move(excluded), style);
    }
    source_->attach();
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);  // without one, a stop waits for the next tick
    started_ = true;
    thread_ = std::thread([this] { run(); });
}

void X11CaptureStream::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
    }
    if (!thread_.joinable()) return;
    // Stopped from its own sink: the loop ends after this frame, and the owner must not destroy the
    // stream from there.
    if (thread_.get_id() == std::this_thread::get_id()) return;
    thread_.join();
}

bool X11CaptureStream::stopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
}

// Frames are taken at ticks one period apart. Between ticks the thread also wakes for the display's
// events: a change that comes after a tick found nothing new is taken a moment after it comes (once the
// period since the last frame has passed), rather than at the next tick, where the change after it would
// be merged into the same frame. So a window repainting at the frame rate, whatever its phase against
// the ticks, gives a frame per repaint.
void X11CaptureStream::run() {
    pthread_setname_np(pthread_self(), configuration_.threadName.substr(0, 15).c_str());
    using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, the host clock
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / configuration_.minimumFrameIntervalTimescale));
    // How long a change is given to be drawn completely (a repaint can take several requests).
    const auto settle = std::min<Clock::duration>(period / 4, std::chrono::milliseconds(4));
    Display* display = display_.get();
    auto next = Clock::now();
    std::optional<Clock::time_point> lastFrame;
    bool first = true;
    while (!stopping()) {
        if (const auto now = Clock::now(); now < next) {
            if (QLength(display) == 0) waitForEvents(next - now);
            if (stopping()) break;
            if (Clock::now() < next) {
                handleEvents();
                if (!first && !source_->gone() && source_->changed()) {
                    const auto soonest = std::max(Clock::now() + settle, lastFrame ? *lastFrame + period : next);
                    next = std::min(next, soonest);
                }
                continue;
            }
        }
        bool delivered = false;
        try {
            delivered = tick(first, std::chrono::duration<double>(next.time_since_epoch()).count());
        } catch (const std::exception&) {
            break;  // out of memory for a frame: the stream ends rather than the process
        }
        if (source_->gone()) break;  // the window was closed: no more frames
        if (delivered) lastFrame = next;
        next += period;
        // Ticks missed while a frame took long are skipped, not made up in a burst.
        if (const auto now = Clock::now(); next < now) next = now;
    }
    source_.reset();
    display_.reset();
}

void X11CaptureStream::waitForEvents(std::chrono::steady_clock::duration timeout) {
    pollfd descriptors[2] = {{ConnectionNumber(display_.get()), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    const timespec limit{time_t(nanoseconds / 1'000'000'000), long(nanoseconds % 1'000'000'000)};
    ppoll(descriptors, wakeFd_ >= 0 ? 2 : 1, &limit, nullptr);
}

void X11CaptureStream::handleEvents() {
    Display* display = display_.get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        source_->handle(event);
    }
}

bool X11CaptureStream::tick(bool& first, double tickSeconds) {
    handleEvents();
    const bool changed = source_->changed();  // asked every tick: it also follows the pointer
    if (source_->gone() || !(first ? source_->settled() : changed)) return false;  // idle: nothing is delivered
    auto buffer = freeBuffer();
    if (!buffer) return false;  // all buffers are in flight: skip this tick, the change stays pending
    // A frame's time is the moment it was due, so that frames at full rate lie exactly one period apart;
    // one served half a period late or more is timed when it was served.
    const double now = hostClockSeconds();
    const double halfPeriod = 0.5 / configuration_.minimumFrameIntervalTimescale;
    const double presentationSeconds = now - tickSeconds < halfPeriod ? tickSeconds : now;
    auto changes = source_->takeChanges();
    // Changes are told against the frame delivered before; after a tick that took changes and delivered
    // nothing, they are not known.
    if (changesLost_) changes.reset();
    changesLost_ = true;

    // The area read: the source rectangle, or the whole content (scaled to fit only when asked; otherwise
    // read one to one from the top left, so a window that grew is cut and one that shrank is padded).
    PixelRect area{0, 0, configuration_.width, configuration_.height};
    if (configuration_.sourceRect) {
        Rect points = *configuration_.sourceRect;
        const double scale = filter_.pointPixelScale > 0 ? filter_.pointPixelScale : 1;
        area = rounded({points.x * scale, points.y * scale, points.width * scale, points.height * scale});
    } else if (configuration_.scalesToFit) {
        area = source_->bounds();
    }
    if (area.width <= 0 || area.height <= 0) return false;

    // An area of another size than the frames asked for is delivered as read, at its own size, and scaled
    // by the movie writer (which has the scaler); what changed is then not told.
    const bool asAsked = area.width == configuration_.width && area.height == configuration_.height;
    if (!asAsked) changes.reset();
    if (changes) *changes = clippedTo(*changes, area);
    const int stride = area.width * 4;
    const size_t bytes = size_t(area.width) * size_t(area.height) * 4;
    if (buffer->bytes.size() != bytes) {
        buffer->bytes.assign(bytes, 0);
        buffer->holds = 0;
    }
    const uint64_t previous = buffer->holds;
    buffer->holds = 0;
    Canvas canvas{buffer->bytes.data(), area.width, area.height, stride};
    // A buffer that holds the frame delivered last needs only the parts that changed since.
    bool drawn = false;
    if (changes && delivered_ > 0 && previous == delivered_) {
        drawn = true;
        for (const auto& part : *changes) {
            Canvas partCanvas{buffer->bytes.data() + size_t(part.y) * stride + size_t(part.x) * 4, part.width,
                              part.height, stride};
            if (!source_->draw({area.x + part.x, area.y + part.y, part.width, part.height}, partCanvas)) {
                drawn = false;
                break;
            }
        }
    }
    if (!drawn && !source_->draw(area, canvas)) return false;
    first = false;
    changesLost_ = false;
    deliver(buffer, area.width, area.height, presentationSeconds, std::move(changes));
    return true;
}

std::shared_ptr<X11CaptureStream::Buffer> X11CaptureStream::freeBuffer() {
    // The one holding the last frame first: it is brought up to date by the changes alone.
    for (const auto& buffer : pool_) {
        if (buffer.use_count() == 1 && buffer->holds == delivered_ && delivered_ > 0) return buffer;
    }
    for (const auto& buffer : pool_) {
        if (buffer.use_count() == 1) return buffer;
    }
    // Buffers are made as they are needed, up to the queue depth: a receiver that keeps up needs few.
    // Each is sized by the frame drawn into it.
    if (pool_.size() >= size_t(std::max(1, configuration_.queueDepth))) return nullptr;
    pool_.push_back(std::make_shared<Buffer>());
    return pool_.back();
}

void X11CaptureStream::deliver(const std::shared_ptr<Buffer>& buffer, int width, int height,
                               double presentationSeconds, std::optional<std::vector<PixelRect>> changes) {
    CapturedFrame frame;
    frame.status = FrameStatus::complete;
    frame.presentationSeconds = presentationSeconds;
    PixelBuffer pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.bytesPerRow = width * 4;
    pixels.bytes = buffer->bytes.data();
    pixels.storage = buffer;
    pixels.sequence = ++delivered_;
    buffer->holds = delivered_;
    pixels.changedAreas = std::move(changes);
    frame.image = std::move(pixels);
    try {
        sink_(frame);
    } catch (...) {
        // A sink that throws loses that frame only; the stream goes on.
    }
}

}  // namespace platform::linux_desktop
