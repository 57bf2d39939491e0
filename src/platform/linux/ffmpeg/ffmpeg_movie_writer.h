#pragma once
// The movie writer on FFmpeg: a QuickTime movie with one HEVC track, encoded in real time.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/movie_writer.h"

struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace platform::linux_desktop {

class HevcEncoder;
class FragmentedMovieFile;

/// Writes one movie. `append` converts each frame to 4:2:0 on the caller's thread, into a picture kept from
/// frame to frame where the frame says what changed, and queues a copy; the writer's own encoder thread
/// encodes and writes. The caller's buffer is free again when `append` returns. When the queue is full the
/// input is not ready and the caller drops the frame. While recording, the file is a fragmented movie
/// flushed every half second of movie time, so a crash loses little, and the last encoded frame (with
/// anything the encoder holds) is written out after half a second without a new frame; `finishWriting`
/// turns it into an ordinary movie that replaces it atomically. A frame of another size than the input's is
/// scaled to it first (a region of a window that is not a whole number of pixels, read at its own size).
class FfmpegMovieWriter final : public MovieWriter {
public:
    explicit FfmpegMovieWriter(std::string path);
    ~FfmpegMovieWriter() override;

    PixelSize movieSize(PixelSize input) const override;
    bool addVideoInput(const VideoSettings& settings) override;
    bool startWriting() override;
    void startSession(double hostSeconds) override;
    bool isReadyForMoreMediaData() override;
    bool append(const PixelBuffer& frame, double hostSeconds) override;
    void markAsFinished() override;
    void endSession(double hostSeconds) override;
    void finishWriting() override;
    WriterStatus status() override;
    std::optional<std::string> error() override;

private:
    struct QueuedFrame {
        AVFrame* picture = nullptr;
        int64_t pts = 0;
    };

    // `frame` when it has the input's size, else a copy scaled to it (kept until the next call).
    const PixelBuffer& fitted(const PixelBuffer& frame);
    void updatePicture(const PixelBuffer& input);
    AVFrame* takeFreePicture();
    void returnPicture(AVFrame* picture);
    void encodeFrames();
    void openEncoder();
    void flushWhileIdle();
    void writeEncoded(AVPacket* packet);
    void closeMovie(int64_t endPts);
    void failWith(const std::string& description);
    void stopEncoderThread();

    const std::string path_;
    std::optional<VideoSettings> settings_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QueuedFrame> queue_;
    size_t queueCapacity_ = 0;  // pictures, for the movie's size
    WriterStatus status_ = WriterStatus::unknown;
    std::optional<std::string> error_;
    std::optional<double> sessionStart_;
    std::optional<double> sessionEnd_;
    int64_t lastQueuedPts_ = -1;
    int64_t lastQueuedSlot_ = -1;  // the frame-rate step of the last queued frame
    bool inputFinished_ = false;
    bool closing_ = false;  // the encoder thread drains the queue, closes the movie and ends

    // The pictures queued or free for queuing (under `mutex_`), and the one `append` keeps up to date (the
    // caller's thread only), with the sequence number of the frame it shows (0: none).
    std::vector<AVFrame*> freePictures_;
    AVFrame* current_ = nullptr;
    uint64_t currentSequence_ = 0;
    // The scaler of frames of another size, and the scaled frame (the caller's thread only).
    SwsContext* scaler_ = nullptr;
    std::vector<uint8_t> scaledBytes_;
    PixelBuffer scaled_;

    // Owned by the encoder thread while it runs.
    std::unique_ptr<HevcEncoder> encoder_;
    std::unique_ptr<FragmentedMovieFile> movie_;
    AVPacket* pending_ = nullptr;  // the last encoded packet: its duration is known once the next one comes
    std::optional<std::string> parameterSets_;  // the first encoder's extradata, which the movie describes
    int64_t fragmentStartPts_ = 0;
    int64_t endPts_ = 0;  // where the movie ends, set by the encoder thread as it closes the movie
    std::thread encoderThread_;
};

/// Makes FFmpeg movie writers.
class FfmpegMovieWriters final : public MovieWriters {
public:
    std::unique_ptr<MovieWriter> makeWriter(const std::string& path) override;
};

}  // namespace platform::linux_desktop
