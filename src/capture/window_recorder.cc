#include "capture/window_recorder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>
#include <system_error>

#include "base/capture_error.h"
#include "capture/output_file.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "text/rounding.h"

namespace capture {
namespace {

constexpr double kMinimumRegionPoints = 16;
constexpr int64_t kMinimumBitRate = 8'000'000;
constexpr int kQueueDepth = 8;

// The recordings started and not yet stopped, so that a signal can finish them. The mutex is held for the
// whole of a stop, so a signal that comes during one waits for the movie to be complete.
std::mutex runningMutex;
std::set<WindowRecorder*>& running() {
    static std::set<WindowRecorder*> recorders;
    return recorders;
}

platform::ScreenCapture& screenCapture() {
    auto& service = platform::services().capture;
    if (service == nullptr) throw CaptureError("screen capture is not available in this build", "external");
    return *service;
}

platform::MovieWriters& movieWriters() {
    auto& service = platform::services().movies;
    if (service == nullptr) throw CaptureError("movie writing is not available in this build", "external");
    return *service;
}

// A rectangle with a negative width or height spans the other way from its origin.
jobs::Rect standardized(jobs::Rect rect) {
    if (rect.width < 0) {
        rect.x += rect.width;
        rect.width = -rect.width;
    }
    if (rect.height < 0) {
        rect.y += rect.height;
        rect.height = -rect.height;
    }
    return rect;
}

// The overlap of `a` and `b`; its width or height is zero or less (or not a number) when they miss.
jobs::Rect intersection(const jobs::Rect& a, const jobs::Rect& b) {
    const double left = std::max(a.x, b.x);
    const double top = std::max(a.y, b.y);
    const double right = std::min(a.x + a.width, b.x + b.width);
    const double bottom = std::min(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

int pixelsOf(double points, double scale, bool even) {
    const double pixels = even ? 2 * text::roundHalfAwayFromZero(points * scale * 0.5)
                               : text::roundHalfAwayFromZero(points * scale);
    if (!(pixels >= 0) || pixels > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(pixels);
}

std::exception_ptr writerError(platform::MovieWriter& writer, const std::string& fallback) {
    if (auto description = writer.error()) return std::make_exception_ptr(CaptureError(*description, "external"));
    return std::make_exception_ptr(CaptureError(fallback, "external"));
}

platform::ContentFilter windowFilterOf(const platform::ShareableWindow& window) {
    return screenCapture().windowFilter(window);
}

}  // namespace

int64_t recordingBitRate(int width, int height, int64_t fps) {
    const double rate = static_cast<double>(width) * static_cast<double>(height) * static_cast<double>(fps) * 0.25;
    if (!(rate > static_cast<double>(kMinimumBitRate))) return kMinimumBitRate;
    if (rate >= static_cast<double>(std::numeric_limits<int64_t>::max())) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(rate);
}

WindowRecorder::WindowRecorder(const platform::ShareableWindow& window, const std::string& outputPath, int64_t fps)
    : WindowRecorder(windowFilterOf(window), outputPath, fps, /*showsCursor=*/false, /*alpha=*/true, std::nullopt) {}

WindowRecorder::WindowRecorder(const platform::ShareableWindow& window, const jobs::Rect& sourceRect,
                               const std::string& outputPath, int64_t fps)
    : WindowRecorder(windowFilterOf(window), outputPath, fps, /*showsCursor=*/false, /*alpha=*/false, sourceRect) {}

WindowRecorder::WindowRecorder(const platform::ShareableDisplay& display,
                               const std::vector<platform::RunningApplication>& excluding,
                               const std::string& outputPath, int64_t fps)
    : WindowRecorder(screenCapture().displayFilter(display, excluding), outputPath, fps, /*showsCursor=*/true,
                     /*alpha=*/false, std::nullopt) {}

WindowRecorder::WindowRecorder(const platform::ContentFilter& filter, const std::string& outputPath, int64_t fps,
                               bool showsCursor, bool alpha, const std::optional<jobs::Rect>& sourceRect) {
    // The stream's frame interval is one over fps, so fps must be a positive 32-bit number.
    if (fps < 1 || fps > std::numeric_limits<int32_t>::max()) {
        throw CaptureError("fps must be a whole number from 1 to 2147483647", "bad_request");
    }
    scale_ = filter.pointPixelScale;
    const jobs::Rect filterRect{filter.contentRect.x, filter.contentRect.y, filter.contentRect.width,
                                filter.contentRect.height};

    platform::StreamConfiguration configuration;
    if (sourceRect) {
        const jobs::Rect overlap = intersection(standardized(*sourceRect),
                                                standardized({0, 0, filterRect.width, filterRect.height}));
        // Written so that a rectangle holding a NaN counts as outside too.
        if (!(overlap.width >= kMinimumRegionPoints) || !(overlap.height >= kMinimumRegionPoints)) {
            throw CaptureError("the region is outside the window", "bad_request");
        }
        configuration.sourceRect = overlap;
        contentRect_ = {filterRect.x + overlap.x, filterRect.y + overlap.y, overlap.width, overlap.height};
    } else {
        contentRect_ = filterRect;
    }

    const bool even = sourceRect.has_value();
    configuration.width = pixelsOf(contentRect_.width, scale_, even);
    configuration.height = pixelsOf(contentRect_.height, scale_, even);
    configuration.showsCursor = showsCursor;
    configuration.clearBackground = alpha;
    configuration.minimumFrameIntervalTimescale = static_cast<int32_t>(fps);
    configuration.queueDepth = kQueueDepth;
    configuration.scalesToFit = false;
    configuration.threadName = "quorrel.capture.frames";
    streamConfiguration_ = configuration;

    removeReplaceableOutput(outputPath);

    writer_ = movieWriters().makeWriter(outputPath);

    videoSettings_.width = configuration.width;
    videoSettings_.height = configuration.height;
    videoSettings_.averageBitRate = recordingBitRate(configuration.width, configuration.height, fps);
    videoSettings_.expectedSourceFrameRate = static_cast<int>(fps);
    if (!writer_->addVideoInput(videoSettings_)) {
        throw CaptureError("cannot configure the video writer", "external");
    }
    // The size the movie really has, which is what the recorder reports.
    const auto movieSize = writer_->movieSize({configuration.width, configuration.height});
    pixelSize_ = movieSize;

    stream_ = screenCapture().makeStream(filter, configuration,
                                         [this](const platform::CapturedFrame& frame) { handleFrame(frame); });
}

WindowRecorder::~WindowRecorder() {
    std::lock_guard lock(runningMutex);
    running().erase(this);
    // The sink points at this object: no frame may arrive once it is gone.
    if (stream_) {
        try {
            stream_->stop();
        } catch (...) {
        }
    }
}

void WindowRecorder::start() {
    std::lock_guard lock(runningMutex);
    if (!writer_->startWriting()) {
        throw CaptureError("writer: " + writer_->error().value_or("failed"), "external");
    }
    running().insert(this);
    stream_->start();
}

bool WindowRecorder::finishRunningRecordings() {
    // Locked for good: the process ends while holding it, and no stop may start on a movie after this.
    runningMutex.lock();
    const bool any = !running().empty();
    for (WindowRecorder* recorder : running()) {
        try {
            recorder->stopAndFinish();
        } catch (...) {
            // Nothing was recorded or the writer failed: the movie stays as the writer left it.
        }
    }
    running().clear();
    return any;
}

void WindowRecorder::handleFrame(const platform::CapturedFrame& frame) {
    if (frame.status != platform::FrameStatus::complete) return;
    if (!frame.image) return;
    const double pts = frame.presentationSeconds;

    std::lock_guard lock(frameMutex_);
    if (closed_) return;
    if (!firstPTS_) {
        firstPTS_ = pts;
        auto& clock = *platform::services().clock;
        const double hostNow = clock.hostSeconds();
        const double epochNow = clock.epochSeconds();
        firstEpoch_ = epochNow - std::max(0.0, hostNow - pts);
        writer_->startSession(pts);
    }
    if (!writer_->isReadyForMoreMediaData()) return;
    if (!(pts > lastPTS_)) return;
    if (writer_->append(*frame.image, pts)) {
        lastPTS_ = pts;
        ++frames_;
    } else if (!failed_) {
        failed_ = writerError(*writer_, "could not append a frame");
    }
}

bool WindowRecorder::waitForFirstFrame(double timeoutSeconds) {
    auto& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + timeoutSeconds;
    while (clock.hostSeconds() < deadline) {
        if (startHostSeconds()) return true;
        clock.sleep(0.02);
    }
    return false;
}

double WindowRecorder::stop() {
    std::lock_guard lock(runningMutex);
    running().erase(this);
    return stopAndFinish();
}

double WindowRecorder::stopAndFinish() {
    try {
        stream_->stop();
    } catch (...) {
        // A stream that fails to stop has still stopped delivering; what was recorded decides the result.
    }

    double endTime = 0;
    std::optional<double> firstPTS;
    std::exception_ptr failed;
    {
        std::lock_guard lock(frameMutex_);
        endTime = std::max(platform::services().clock->hostSeconds(), lastPTS_);
        failed = failed_;
        firstPTS = firstPTS_;
    }
    if (failed) std::rethrow_exception(failed);
    if (!firstPTS) throw CaptureError("no frames were captured (is the window visible?)", "external");

    // After the stream has stopped: a frame thread that is finishing the movie itself is never waited on
    // while holding this.
    std::lock_guard finishing(finishMutex_);
    if (finished_) throw CaptureError("the recording was ended early", "external");
    finished_ = true;
    writer_->markAsFinished();
    writer_->endSession(endTime);
    writer_->finishWriting();
    if (writer_->status() == platform::WriterStatus::completed) return endTime - *firstPTS;
    throw CaptureError("writer: " + writer_->error().value_or("did not complete"), "external");
}

void WindowRecorder::finishNow() {
    std::lock_guard finishing(finishMutex_);
    if (finished_) return;
    finished_ = true;
    std::optional<double> firstPTS;
    double endTime = 0;
    {
        std::lock_guard lock(frameMutex_);
        closed_ = true;
        firstPTS = firstPTS_;
        endTime = std::max(platform::services().clock->hostSeconds(), lastPTS_);
    }
    if (!firstPTS) return;  // nothing was written: there is no movie to finish
    writer_->markAsFinished();
    writer_->endSession(endTime);
    writer_->finishWriting();
}

std::optional<double> WindowRecorder::startHostSeconds() const {
    std::lock_guard lock(frameMutex_);
    return firstPTS_;
}

std::optional<double> WindowRecorder::firstFrameEpoch() const {
    std::lock_guard lock(frameMutex_);
    return firstEpoch_;
}

bool WindowRecorder::writerFailed() const {
    {
        std::lock_guard lock(frameMutex_);
        if (failed_) return true;
    }
    return writer_->status() == platform::WriterStatus::failed;
}

int WindowRecorder::frames() const {
    std::lock_guard lock(frameMutex_);
    return frames_;
}

}  // namespace capture
