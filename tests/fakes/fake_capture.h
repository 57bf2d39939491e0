#pragma once
// In-memory capture and movie services: a desktop whose windows are whatever the test lists, streams the
// test feeds frames into by hand, and movie writers that keep what they were asked to write.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/movie_writer.h"
#include "platform/screen_capture.h"
#include "platform/services.h"

namespace fakes {

/// A stream that delivers exactly the frames `deliver` is given, on the calling thread.
class FakeCaptureStream final : public platform::CaptureStream {
public:
    platform::ContentFilter filter;
    platform::StreamConfiguration configuration;
    platform::FrameSink sink;
    bool started = false;
    int stops = 0;
    std::optional<std::string> startError;  // `start` throws this when set
    bool stopThrows = false;

    void start() override;
    void stop() override;

    /// Hands `frame` to the sink while the stream runs; returns whether it was delivered.
    bool deliver(const platform::CapturedFrame& frame);

    /// A complete frame of the configured size at `hostSeconds`.
    bool deliverComplete(double hostSeconds);

    /// An idle frame (nothing changed) at `hostSeconds`.
    bool deliverIdle(double hostSeconds);
};

/// A desktop of listed windows. Filters report the window's frame, or the display's, at `scale`.
class FakeScreenCapture final : public platform::ScreenCapture {
public:
    platform::ShareableContent content;
    std::optional<std::string> contentError;  // `shareableContent` throws this when set
    std::optional<std::string> streamError;   // `makeStream` throws this when set
    double scale = 1.0;
    int contentRequests = 0;
    FakeCaptureStream* lastStream = nullptr;  // owned by the recorder that made it

    platform::ShareableContent shareableContent() override;
    double pointPixelScale() override { return scale; }
    std::unique_ptr<platform::CaptureStream> makeStream(const platform::ContentFilter& filter,
                                                        const platform::StreamConfiguration& configuration,
                                                        platform::FrameSink sink) override;
};

/// What a fake movie writer was asked to do, kept after the writer is gone.
struct FakeMovie {
    std::string path;
    std::optional<platform::VideoSettings> settings;
    bool writing = false;
    std::optional<double> sessionStart;
    std::optional<double> sessionEnd;
    std::vector<double> appendedTimes;
    bool markedFinished = false;
    bool finished = false;
};

class FakeMovieWriter final : public platform::MovieWriter {
public:
    FakeMovieWriter(std::shared_ptr<FakeMovie> movie, class FakeMovieWriters& owner);

    platform::PixelSize movieSize(platform::PixelSize input) const override;
    bool addVideoInput(const platform::VideoSettings& settings) override;
    bool startWriting() override;
    void startSession(double hostSeconds) override;
    bool isReadyForMoreMediaData() override;
    bool append(const platform::PixelBuffer& frame, double hostSeconds) override;
    void markAsFinished() override;
    void endSession(double hostSeconds) override;
    void finishWriting() override;
    platform::WriterStatus status() override;
    std::optional<std::string> error() override;

private:
    std::shared_ptr<FakeMovie> movie_;
    FakeMovieWriters& owner_;
    platform::WriterStatus status_ = platform::WriterStatus::unknown;
};

/// Makes fake writers whose behaviour the test sets beforehand or while frames arrive.
class FakeMovieWriters final : public platform::MovieWriters {
public:
    std::optional<std::string> makeError;  // `makeWriter` throws this when set
    bool refuseInput = false;
    bool failStart = false;
    bool ready = true;          // `isReadyForMoreMediaData`
    int failAppendsFrom = -1;   // appends with this index and later fail (-1: none fail)
    bool failFinish = false;
    bool evenMovieSizes = false;  // movies round odd sizes up, as a 4:2:0 encoder does
    std::optional<std::string> writerError;  // what `error` reports once something failed
    std::vector<std::shared_ptr<FakeMovie>> movies;
    int appendCalls = 0;

    std::unique_ptr<platform::MovieWriter> makeWriter(const std::string& path) override;
};

/// Installs a fake capture and movie service over the current services, restoring them afterwards.
class FakeCapturePlatform {
public:
    FakeScreenCapture capture;
    FakeMovieWriters movies;

    FakeCapturePlatform();
    ~FakeCapturePlatform();
    FakeCapturePlatform(const FakeCapturePlatform&) = delete;
    FakeCapturePlatform& operator=(const FakeCapturePlatform&) = delete;

private:
    platform::Services previous_;
};

}  // namespace fakes
