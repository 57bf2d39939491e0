#pragma once
// Records one window, a rectangle of one window, or a display into a movie file.
//
// The stream delivers frames on the recorder's frame thread. The movie's timeline starts at the first
// complete frame and ends when `stop` is called, so a still window gives few frames and the movie still
// lasts until the stop. The frame state is changed only on the frame thread; other threads read it under
// `frameMutex_`, which stands for that thread.

#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "jobs/job.h"
#include "platform/movie_writer.h"
#include "platform/screen_capture.h"

namespace capture {

class WindowRecorder {
public:
    /// Records `window`'s own pixels, without the cursor, keeping transparency where the encoder can.
    WindowRecorder(const platform::ShareableWindow& window, const std::string& outputPath, int64_t fps);

    /// Records `sourceRect` (in the window's own points, origin at its top left) of `window`, opaque.
    WindowRecorder(const platform::ShareableWindow& window, const jobs::Rect& sourceRect,
                   const std::string& outputPath, int64_t fps);

    /// Records `display` without the windows of `excluding`, with the cursor, opaque.
    WindowRecorder(const platform::ShareableDisplay& display,
                   const std::vector<platform::RunningApplication>& excluding, const std::string& outputPath,
                   int64_t fps);

    /// Records `filter`. Replaces any file at `outputPath` (its folder must exist). Throws "the region is
    /// outside the window" when `sourceRect` overlaps the filter by less than 16 points either way, and the
    /// platform's errors when the writer or the stream cannot be made.
    WindowRecorder(const platform::ContentFilter& filter, const std::string& outputPath, int64_t fps,
                   bool showsCursor, bool alpha, const std::optional<jobs::Rect>& sourceRect);

    /// Stops the stream if it still runs; the movie is left as it is.
    ~WindowRecorder();

    WindowRecorder(const WindowRecorder&) = delete;
    WindowRecorder& operator=(const WindowRecorder&) = delete;

    /// Starts the writer and the stream. The movie's session starts at the first complete frame.
    void start();

    /// Blocks the calling thread until the first frame is accepted (true) or `timeoutSeconds` pass (false).
    bool waitForFirstFrame(double timeoutSeconds);

    /// Stops the stream and finishes the movie at the later of now and the last frame; returns the movie's
    /// duration in seconds. Throws the first append failure, or when no frame came, or the writer failed.
    double stop();

    /// Finishes the movie from the frames appended so far, without touching the stream (whose connection
    /// may be gone), from any thread; frames that arrive later are dropped. For a recording that cannot go
    /// on; does nothing once `stop` or this has finished the movie.
    void finishNow();

    /// Finishes every recording that was started and not yet stopped or destroyed, as `stop` would, and
    /// waits for any `stop` already under way. For a process about to end on a signal: returns true when
    /// a recording was running (finished, or left as the writer could leave it). Every later start, stop
    /// or destruction of a recorder blocks for good: the caller ends the process next.
    static bool finishRunningRecordings();

    /// Host-clock seconds of the first accepted frame; absent before it.
    std::optional<double> startHostSeconds() const;

    /// Wall-clock seconds since 1970 at which the first accepted frame was presented; absent before it.
    std::optional<double> firstFrameEpoch() const;

    /// True once the movie can no longer be written (a full disk, a write error): the recording should
    /// end now, and `stop` will throw the writer's error.
    bool writerFailed() const;

    /// Frames appended to the movie so far.
    int frames() const;

    /// The recorded frames' size in pixels, as configured.
    platform::PixelSize pixelSize() const { return pixelSize_; }

    /// The recorded area in points, in global screen coordinates.
    jobs::Rect contentRect() const { return contentRect_; }

    /// Pixels per point of the recorded content.
    double scale() const { return scale_; }

    /// The settings the video input was given (for callers that report them, and for tests).
    const platform::VideoSettings& videoSettings() const { return videoSettings_; }

    /// The configuration the stream was made with.
    const platform::StreamConfiguration& streamConfiguration() const { return streamConfiguration_; }

private:
    void handleFrame(const platform::CapturedFrame& frame);
    double stopAndFinish();

    platform::PixelSize pixelSize_;
    jobs::Rect contentRect_;
    double scale_ = 1.0;
    platform::VideoSettings videoSettings_;
    platform::StreamConfiguration streamConfiguration_;
    std::unique_ptr<platform::MovieWriter> writer_;
    std::unique_ptr<platform::CaptureStream> stream_;

    // Frame state: changed only by `handleFrame` on the frame thread.
    mutable std::mutex frameMutex_;
    std::optional<double> firstPTS_;
    double lastPTS_ = 0;
    int frames_ = 0;
    std::exception_ptr failed_;
    std::optional<double> firstEpoch_;
    bool closed_ = false;  // set by `finishNow`: no frame is appended any more

    // Finishing the movie happens once, by `stop` or by `finishNow`, whichever comes first.
    std::mutex finishMutex_;
    bool finished_ = false;
};

/// The average bit rate for frames of `width` × `height` pixels at `fps`: a quarter bit per pixel per
/// frame, never below 8,000,000 bits per second.
int64_t recordingBitRate(int width, int height, int64_t fps);

}  // namespace capture
