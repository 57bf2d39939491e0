#include "platform/linux/x11_capture_stream.h"

#include <pthread.h>

#include <chrono>
#include <cmath>
#include <algorithm>
#include <set>

#include "app/capture_error.h"
#include "platform/linux/posix_clock.h"
#include "platform/linux/x11_frame_sources.h"

namespace platform::linux_desktop {

struct X11CaptureStream::Buffer {
    std::vector<uint8_t> bytes;
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
        if (right > left && bottom > top) clipped.push_back({left - frame.x, top - frame.y, right - left, bottom - top});
    }
    return clipped;
}

PixelRect rounded(const CaptureRect& rect) {
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
    if (configuration_.pixelFormat != kPixelFormatBGRA) {
        throw CaptureError("frames can only be captured as BGRA", "external");
    }
}

X11CaptureStream::~X11CaptureStream() {
    stop();
}

void X11CaptureStream::start() {
    std::lock_guard lock(mutex_);
    if (started_) return;
    if (configuration_.sourceRect || configuration_.scalesToFit) scaler_ = makeBgraScaler();
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
    started_ = true;
    thread_ = std::thread([this] { run(); });
}

void X11CaptureStream::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (!thread_.joinable()) return;
    // Stopped from its own sink: the loop ends after this frame, and the owner must not destroy the
    // stream from there.
    if (thread_.get_id() == std::this_thread::get_id()) return;
    thread_.join();
}

void X11CaptureStream::run() {
    pthread_setname_np(pthread_self(), configuration_.threadName.substr(0, 15).c_str());
    using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, the host clock
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / configuration_.minimumFrameIntervalTimescale));
    auto next = Clock::now();
    bool first = true;
    while (true) {
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, next, [this] { return stopping_; })) break;
        }
        try {
            tick(first);
        } catch (const std::exception&) {
            break;  // out of memory for a frame: the stream ends rather than the process
        }
        if (source_->gone()) break;  // the window was closed: no more frames
        next += period;
        // Ticks missed while a frame took long are skipped, not made up in a burst.
        if (const auto now = Clock::now(); next < now) next = now;
    }
    source_.reset();
    display_.reset();
}

void X11CaptureStream::tick(bool& first) {
    Display* display = display_.get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        source_->handle(event);
    }
    const bool changed = source_->changed();  // asked every tick: it also follows the pointer
    if (source_->gone() || !(first ? source_->settled() : changed)) return;  // idle: nothing is delivered
    auto buffer = freeBuffer();
    if (!buffer) return;  // all buffers are in flight: skip this tick, the change stays pending
    const double presentationSeconds = PosixClock().hostSeconds();
    auto changes = source_->takeChanges();
    // Changes are told against the frame delivered before; after a tick that took changes and delivered
    // nothing, they are not known.
    if (changesLost_) changes.reset();
    changesLost_ = true;

    // The area read: the source rectangle, or the whole content (scaled to fit only when asked; otherwise
    // read one to one from the top left, so a window that grew is cut and one that shrank is padded).
    PixelRect area{0, 0, configuration_.width, configuration_.height};
    if (configuration_.sourceRect) {
        CaptureRect points = *configuration_.sourceRect;
        const double scale = filter_.pointPixelScale > 0 ? filter_.pointPixelScale : 1;
        area = rounded({points.x * scale, points.y * scale, points.width * scale, points.height * scale});
    } else if (configuration_.scalesToFit) {
        area = source_->bounds();
    }
    if (area.width <= 0 || area.height <= 0) return;

    const bool scaled = area.width != configuration_.width || area.height != configuration_.height;
    if (scaled) changes.reset();
    if (changes) *changes = clippedTo(*changes, area);
    Canvas canvas{buffer->bytes.data(), configuration_.width, configuration_.height, configuration_.width * 4};
    if (scaled) {
        staging_.resize(size_t(area.width) * size_t(area.height) * 4);
        canvas = {staging_.data(), area.width, area.height, area.width * 4};
    }
    if (!source_->draw(area, canvas)) return;
    if (scaled) {
        if (!scaler_) return;
        const BgraPicture from{staging_.data(), area.width, area.height, area.width * 4};
        const BgraPicture to{buffer->bytes.data(), configuration_.width, configuration_.height,
                             configuration_.width * 4};
        if (!scaler_->scale(from, to)) return;
    }
    first = false;
    changesLost_ = false;
    deliver(buffer, presentationSeconds, std::move(changes));
}

std::shared_ptr<X11CaptureStream::Buffer> X11CaptureStream::freeBuffer() {
    for (const auto& buffer : pool_) {
        if (buffer.use_count() == 1) return buffer;
    }
    // Buffers are made as they are needed, up to the queue depth: a receiver that keeps up needs few.
    if (pool_.size() >= size_t(std::max(1, configuration_.queueDepth))) return nullptr;
    const size_t bytes = size_t(configuration_.width) * size_t(configuration_.height) * 4;
    pool_.push_back(std::make_shared<Buffer>(Buffer{std::vector<uint8_t>(bytes)}));
    return pool_.back();
}

void X11CaptureStream::deliver(const std::shared_ptr<Buffer>& buffer, double presentationSeconds,
                               std::optional<std::vector<PixelRect>> changes) {
    CapturedFrame frame;
    frame.status = FrameStatus::complete;
    frame.presentationSeconds = presentationSeconds;
    PixelBuffer pixels;
    pixels.width = configuration_.width;
    pixels.height = configuration_.height;
    pixels.bytesPerRow = configuration_.width * 4;
    pixels.bytes = buffer->bytes.data();
    pixels.storage = buffer;
    pixels.sequence = ++delivered_;
    pixels.changedAreas = std::move(changes);
    frame.image = std::move(pixels);
    try {
        sink_(frame);
    } catch (...) {
        // A sink that throws loses that frame only; the stream goes on.
    }
}

}  // namespace platform::linux_desktop
