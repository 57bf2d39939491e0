#pragma once
// Movie files with one video track, written from BGRA frames stamped with host-clock times.
//
// Calling order: make a writer, add its video input, start writing, start the session at the first
// frame's time, append frames, mark the input finished, end the session at the stop time, finish. Times
// are host-clock seconds; the movie's time zero is the session's start.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/screen_capture.h"

namespace platform {

/// The video track's encoding: HEVC, every frame in presentation order, a frame the encoder has no room for
/// dropped rather than waited for.
struct VideoSettings {
    int width = 0;  // pixels
    int height = 0;
    int64_t averageBitRate = 0;  // bits per second
    int expectedSourceFrameRate = 30;
};

/// Where a writer is.
enum class WriterStatus { unknown, writing, completed, failed };

/// One movie file being written. Made, started and finished on one thread; `append`,
/// `isReadyForMoreMediaData` and `startSession` are called from the frame thread.
class MovieWriter {
public:
    virtual ~MovieWriter() = default;

    /// The picture size of the movie made from frames of `input` size: the same, unless the encoding needs
    /// whole blocks (then the added rows and columns repeat the picture's edge).
    virtual PixelSize movieSize(PixelSize input) const { return input; }

    /// Adds the single video input; false when the writer cannot take it.
    virtual bool addVideoInput(const VideoSettings& settings) = 0;

    /// Opens the file and the encoder; false on failure, with `error` set.
    virtual bool startWriting() = 0;

    /// Starts the movie's timeline at `hostSeconds`.
    virtual void startSession(double hostSeconds) = 0;

    /// True while the video input can take another frame without waiting.
    virtual bool isReadyForMoreMediaData() = 0;

    /// Appends `frame` (BGRA; one of another size than the input's is scaled to it) at `hostSeconds`, later
    /// than the frame before; false on failure, with `error` set when the writer knows why. Never waits for
    /// the encoder.
    virtual bool append(const PixelBuffer& frame, double hostSeconds) = 0;

    /// Says that no more frames follow.
    virtual void markAsFinished() = 0;

    /// Ends the movie's timeline at `hostSeconds`: the last frame lasts until then.
    virtual void endSession(double hostSeconds) = 0;

    /// Completes the file and waits for it; `status` tells how it went.
    virtual void finishWriting() = 0;

    virtual WriterStatus status() = 0;

    /// The description of what failed, naming what did; absent while nothing has.
    virtual std::optional<std::string> error() = 0;
};

/// Makes movie writers.
class MovieWriters {
public:
    virtual ~MovieWriters() = default;

    /// A writer of a QuickTime movie at `path` (which must not exist). Throws the platform's error when the
    /// writer cannot be made.
    virtual std::unique_ptr<MovieWriter> makeWriter(const std::string& path) = 0;
};

}  // namespace platform
