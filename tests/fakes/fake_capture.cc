#include "fakes/fake_capture.h"

#include <cstdint>

namespace fakes {

void FakeCaptureStream::start() {
    if (startError) throw std::runtime_error(*startError);
    started = true;
}

void FakeCaptureStream::stop() {
    ++stops;
    started = false;
    if (stopThrows) throw std::runtime_error("the stream did not stop cleanly");
}

bool FakeCaptureStream::deliver(const platform::CapturedFrame& frame) {
    if (!started) return false;
    sink(frame);
    return true;
}

bool FakeCaptureStream::deliverComplete(double hostSeconds) {
    auto pixels = std::make_shared<std::vector<uint8_t>>(
        static_cast<size_t>(configuration.width) * static_cast<size_t>(configuration.height) * 4);
    platform::PixelBuffer image{{pixels->data(), configuration.width, configuration.height, configuration.width * 4},
                                pixels, 0, std::nullopt};
    return deliver({platform::FrameStatus::complete, image, hostSeconds});
}

bool FakeCaptureStream::deliverIdle(double hostSeconds) {
    return deliver({platform::FrameStatus::idle, std::nullopt, hostSeconds});
}

platform::ShareableContent FakeScreenCapture::shareableContent() {
    ++contentRequests;
    if (contentError) throw std::runtime_error(*contentError);
    return content;
}

std::unique_ptr<platform::CaptureStream> FakeScreenCapture::makeStream(
    const platform::ContentFilter& filter, const platform::StreamConfiguration& configuration,
    platform::FrameSink sink) {
    if (streamError) throw std::runtime_error(*streamError);
    auto stream = std::make_unique<FakeCaptureStream>();
    stream->filter = filter;
    stream->configuration = configuration;
    stream->sink = std::move(sink);
    lastStream = stream.get();
    return stream;
}

FakeMovieWriter::FakeMovieWriter(std::shared_ptr<FakeMovie> movie, FakeMovieWriters& owner)
    : movie_(std::move(movie)), owner_(owner) {}

platform::PixelSize FakeMovieWriter::movieSize(platform::PixelSize input) const {
    if (!owner_.evenMovieSizes) return input;
    return {input.width + (input.width & 1), input.height + (input.height & 1)};
}

bool FakeMovieWriter::addVideoInput(const platform::VideoSettings& settings) {
    if (owner_.refuseInput) return false;
    movie_->settings = settings;
    return true;
}

bool FakeMovieWriter::startWriting() {
    if (owner_.failStart) {
        status_ = platform::WriterStatus::failed;
        return false;
    }
    movie_->writing = true;
    status_ = platform::WriterStatus::writing;
    return true;
}

void FakeMovieWriter::startSession(double hostSeconds) { movie_->sessionStart = hostSeconds; }

bool FakeMovieWriter::isReadyForMoreMediaData() { return owner_.ready; }

bool FakeMovieWriter::append(const platform::PixelBuffer&, double hostSeconds) {
    const int index = owner_.appendCalls++;
    if (owner_.failAppendsFrom >= 0 && index >= owner_.failAppendsFrom) {
        status_ = platform::WriterStatus::failed;
        return false;
    }
    movie_->appendedTimes.push_back(hostSeconds);
    return true;
}

void FakeMovieWriter::markAsFinished() { movie_->markedFinished = true; }

void FakeMovieWriter::endSession(double hostSeconds) { movie_->sessionEnd = hostSeconds; }

void FakeMovieWriter::finishWriting() {
    if (owner_.failFinish) {
        status_ = platform::WriterStatus::failed;
        return;
    }
    movie_->finished = true;
    status_ = platform::WriterStatus::completed;
}

platform::WriterStatus FakeMovieWriter::status() { return status_; }

std::optional<std::string> FakeMovieWriter::error() {
    if (status_ != platform::WriterStatus::failed) return std::nullopt;
    return owner_.writerError;
}

std::unique_ptr<platform::MovieWriter> FakeMovieWriters::makeWriter(const std::string& path) {
    if (makeError) throw std::runtime_error(*makeError);
    auto movie = std::make_shared<FakeMovie>();
    movie->path = path;
    movies.push_back(movie);
    return std::make_unique<FakeMovieWriter>(movie, *this);
}

FakeCapturePlatform::FakeCapturePlatform() {
    auto services = platform::services();
    services.capture = &capture;
    services.movies = &movies;
    previous_ = platform::install(services);
}

FakeCapturePlatform::~FakeCapturePlatform() { platform::install(previous_); }

}  // namespace fakes
