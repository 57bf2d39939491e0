#include "platform/linux/ffmpeg/ffmpeg_movie_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/linux/ffmpeg/bgra_to_yuv420.h"
#include "platform/linux/ffmpeg/ffmpeg_hevc_encoder.h"
#include "platform/linux/ffmpeg/ffmpeg_mov_file.h"
#include "platform/linux/host_clock.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace platform::linux_desktop {
namespace {

// Pictures waiting for the encoder thread: enough for a burst of changes (a second of scrolling, a page
// repainted at full rate) to be caught up on, within 32 MiB (16 pictures at 1440x900, 10 at 1920x1080, at
// least 3); a recording that stays behind drops frames rather than falling behind. Each is a 4:2:0 copy
// (three eighths of the BGRA frame's size), made only when a burst needs it.
constexpr size_t kQueueBytes = size_t{32} << 20;
constexpr size_t kMostQueued = 16;
constexpr size_t kFewestQueued = 3;

size_t queueCapacity(PixelSize size) {
    const size_t pictureBytes = std::max<size_t>(1, size_t(size.width) * size_t(size.height) * 3 / 2);
    return std::clamp(kQueueBytes / pictureBytes, kFewestQueued, kMostQueued);
}

// A fragment is written once it holds this much movie time (90 kHz ticks): half a second.
constexpr int64_t kFragmentTicks = kMovieTimeBase.den / 2;

// How long without a new frame before what is held in the encoder is written out.
constexpr std::chrono::milliseconds kIdleFlushAfter{500};

int64_t ticksOf(double seconds) { return std::llround(seconds * kMovieTimeBase.den); }

// The hidden file next to `path` that the finished movie is written to before it replaces `path`.
std::string finishingPath(const std::string& path) {
    const std::filesystem::path file(path);
    return (file.parent_path() / ("." + file.filename().string() + ".finishing")).string();
}

// A 4:2:0 picture of `size`; null when out of memory.
AVFrame* makePicture(PixelSize size) {
    AVFrame* picture = av_frame_alloc();
    if (!picture) return nullptr;
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = size.width;
    picture->height = size.height;
    if (av_frame_get_buffer(picture, 0) < 0) av_frame_free(&picture);
    return picture;
}

Yuv420Planes planesOf(AVFrame* picture) {
    return {picture->data[0],     picture->data[1],     picture->data[2], picture->linesize[0],
            picture->linesize[1], picture->linesize[2], picture->width,   picture->height};
}

}  // namespace

FfmpegMovieWriter::FfmpegMovieWriter(std::string path) : path_(std::move(path)) {
    // libav's own messages would interleave with the tool's output; its errors reach the caller as text.
    av_log_set_level(AV_LOG_ERROR);
}

FfmpegMovieWriter::~FfmpegMovieWriter() {
    // Not finished: the encoder thread writes what it has and leaves the fragmented movie as it is.
    stopEncoderThread();
    av_packet_free(&pending_);
    for (auto& queued : queue_) av_frame_free(&queued.picture);
    for (AVFrame* picture : freePictures_) av_frame_free(&picture);
    av_frame_free(&current_);
    if (scaler_) sws_freeContext(scaler_);
}

PixelSize FfmpegMovieWriter::movieSize(PixelSize input) const { return hevcPictureSize(input); }

bool FfmpegMovieWriter::addVideoInput(const VideoSettings& settings) {
    std::lock_guard lock(mutex_);
    if (settings_ || status_ != WriterStatus::unknown) return false;
    if (settings.width <= 0 || settings.height <= 0) return false;
    if (!avcodec_find_encoder_by_name("libx265")) return false;
    settings_ = settings;
    queueCapacity_ = queueCapacity(hevcPictureSize({settings.width, settings.height}));
    return true;
}

bool FfmpegMovieWriter::startWriting() {
    std::lock_guard lock(mutex_);
    if (status_ != WriterStatus::unknown) return false;
    if (!settings_) {
        status_ = WriterStatus::failed;
        error_ = "the movie has no video input";
        return false;
    }
    try {
        // Alpha is not carried: the HEVC encoders here have no alpha layer, so frames are recorded opaque.
        pending_ = av_packet_alloc();
        if (!pending_) throw std::runtime_error("HEVC encoder: out of memory");
        openEncoder();
        movie_ = std::make_unique<FragmentedMovieFile>(path_, encoder_->context());
    } catch (const std::exception& failure) {
        movie_.reset();
        encoder_.reset();
        status_ = WriterStatus::failed;
        error_ = failure.what();
        return false;
    }
    status_ = WriterStatus::writing;
    encoderThread_ = std::thread([this] { encodeFrames(); });
    return true;
}

void FfmpegMovieWriter::startSession(double hostSeconds) {
    std::lock_guard lock(mutex_);
    if (!sessionStart_) sessionStart_ = hostSeconds;
}

bool FfmpegMovieWriter::isReadyForMoreMediaData() {
    std::lock_guard lock(mutex_);
    return status_ == WriterStatus::writing && !inputFinished_ && queue_.size() < queueCapacity_;
}

bool FfmpegMovieWriter::append(const PixelBuffer& frame, double hostSeconds) {
    int64_t slot = 0, pts = 0;
    {
        std::lock_guard lock(mutex_);
        if (status_ != WriterStatus::writing || inputFinished_) return false;
        if (!sessionStart_) {
            error_ = "a frame came before the session started";
            return false;
        }
        if (queue_.size() >= queueCapacity_ || hostSeconds < *sessionStart_) return false;
        // Each frame goes to the nearest step of the declared frame rate, and never to the step of the frame
        // before it (then to the next step). A reader of the fragmented file, which has no index of sample
        // times, takes the declared rate as the stream's own; captured times jitter by a few milliseconds,
        // and two frames in one step would read back as timestamps that do not increase.
        const int fps = std::max(1, settings_->expectedSourceFrameRate);
        slot = std::max<int64_t>(std::llround((hostSeconds - *sessionStart_) * fps), lastQueuedSlot_ + 1);
        // Times closer than one tick (only at rates above the tick rate) still keep their order.
        pts = std::max<int64_t>(std::llround(static_cast<double>(slot) * kMovieTimeBase.den / fps), lastQueuedPts_ + 1);
    }
    // Converted outside the lock, so that the encoder thread keeps taking pictures meanwhile; only this
    // thread appends.
    AVFrame* picture = nullptr;
    try {
        updatePicture(frame);
        picture = takeFreePicture();
        if (const int copied = av_frame_copy(picture, current_); copied < 0) {
            throw std::runtime_error("cannot copy a picture: " + avErrorText(copied));
        }
    } catch (const std::exception& failure) {
        if (picture) returnPicture(picture);
        failWith(failure.what());
        return false;
    }
    std::lock_guard lock(mutex_);
    if (status_ != WriterStatus::writing || inputFinished_) {
        freePictures_.push_back(picture);
        return false;
    }
    lastQueuedSlot_ = slot;
    lastQueuedPts_ = pts;
    queue_.push_back({picture, pts});
    wake_.notify_one();
    return true;
}

const PixelBuffer& FfmpegMovieWriter::fitted(const PixelBuffer& frame) {
    if (frame.width == settings_->width && frame.height == settings_->height) return frame;
    // Bilinear, with libswscale, into a frame of the input's size kept for the next one. It says nothing of
    // what changed (the frame's areas are not where they are in the scaled picture), so all of it is converted.
    scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height, AV_PIX_FMT_BGRA, settings_->width,
                                   settings_->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler_) {
        throw std::runtime_error("HEVC encoder: cannot scale a frame of " + std::to_string(frame.width) + "x" +
                                 std::to_string(frame.height) + " to " + std::to_string(settings_->width) + "x" +
                                 std::to_string(settings_->height));
    }
    scaledBytes_.resize(size_t(settings_->width) * size_t(settings_->height) * 4);
    const uint8_t* source[] = {frame.bytes};
    const int sourceStride[] = {frame.bytesPerRow};
    uint8_t* destination[] = {scaledBytes_.data()};
    const int destinationStride[] = {settings_->width * 4};
    sws_scale(scaler_, source, sourceStride, 0, frame.height, destination, destinationStride);
    scaled_.width = settings_->width;
    scaled_.height = settings_->height;
    scaled_.bytesPerRow = settings_->width * 4;
    scaled_.bytes = scaledBytes_.data();
    scaled_.sequence = frame.sequence;
    scaled_.changedAreas.reset();
    return scaled_;
}

void FfmpegMovieWriter::updatePicture(const PixelBuffer& input) {
    if (input.bytes == nullptr || input.width <= 0 || input.height <= 0) {
        throw std::runtime_error("HEVC encoder: a frame of " + std::to_string(input.width) + "x" +
                                 std::to_string(input.height) + " does not fit a movie of " +
                                 std::to_string(settings_->width) + "x" + std::to_string(settings_->height));
    }
    const PixelBuffer& frame = fitted(input);
    if (!current_) {
        current_ = makePicture(hevcPictureSize({settings_->width, settings_->height}));
        if (!current_) throw std::runtime_error("HEVC encoder: out of memory for a picture");
        currentSequence_ = 0;
    }
    // Only where the frame differs from the one the picture shows, when the stream says where that is.
    const bool follows = currentSequence_ != 0 && frame.sequence == currentSequence_ + 1 && frame.changedAreas;
    if (follows) {
        for (const auto& area : *frame.changedAreas) convertBgraToYuv420(frame, area, planesOf(current_));
    } else {
        convertBgraToYuv420(frame, {0, 0, current_->width, current_->height}, planesOf(current_));
    }
    currentSequence_ = frame.sequence;
}

AVFrame* FfmpegMovieWriter::takeFreePicture() {
    {
        std::lock_guard lock(mutex_);
        if (!freePictures_.empty()) {
            AVFrame* picture = freePictures_.back();
            freePictures_.pop_back();
            return picture;
        }
    }
    AVFrame* picture = makePicture({current_->width, current_->height});
    if (!picture) throw std::runtime_error("HEVC encoder: out of memory for a picture");
    return picture;
}

void FfmpegMovieWriter::returnPicture(AVFrame* picture) {
    std::lock_guard lock(mutex_);
    freePictures_.push_back(picture);
}

void FfmpegMovieWriter::markAsFinished() {
    std::lock_guard lock(mutex_);
    inputFinished_ = true;
}

void FfmpegMovieWriter::endSession(double hostSeconds) {
    std::lock_guard lock(mutex_);
    sessionEnd_ = hostSeconds;
}

void FfmpegMovieWriter::finishWriting() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != WriterStatus::writing) return;
        inputFinished_ = true;
    }
    stopEncoderThread();
    {
        std::lock_guard lock(mutex_);
        if (status_ != WriterStatus::writing) return;  // the encoder thread failed; the fragments stay
    }
    // The fragmented file becomes an ordinary movie written beside it, which then replaces it in one step.
    const std::string finishing = finishingPath(path_);
    try {
        writePlainMovie(path_, finishing, endPts_, kMovieTimeBase);
        if (std::rename(finishing.c_str(), path_.c_str()) != 0) {
            throw std::runtime_error("movie file " + path_ + ": cannot replace it: " + std::strerror(errno));
        }
    } catch (const std::exception& failure) {
        std::error_code ignored;
        std::filesystem::remove(finishing, ignored);
        failWith(failure.what());
        return;
    }
    std::lock_guard lock(mutex_);
    status_ = WriterStatus::completed;
}

WriterStatus FfmpegMovieWriter::status() {
    std::lock_guard lock(mutex_);
    return status_;
}

std::optional<std::string> FfmpegMovieWriter::error() {
    std::lock_guard lock(mutex_);
    return error_;
}

void FfmpegMovieWriter::failWith(const std::string& description) {
    std::lock_guard lock(mutex_);
    status_ = WriterStatus::failed;
    if (!error_) error_ = description;
}

void FfmpegMovieWriter::stopEncoderThread() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    if (encoderThread_.joinable()) encoderThread_.join();
}

void FfmpegMovieWriter::encodeFrames() {
    const auto toMovie = [this](AVPacket* packet) { writeEncoded(packet); };
    try {
        for (;;) {
            QueuedFrame frame;
            {
                std::unique_lock lock(mutex_);
                const bool woken =
                    wake_.wait_for(lock, kIdleFlushAfter, [this] { return !queue_.empty() || closing_; });
                if (!woken) {
                    lock.unlock();
                    flushWhileIdle();
                    continue;
                }
                if (queue_.empty()) break;
                frame = std::move(queue_.front());
                queue_.pop_front();
            }
            if (!encoder_) openEncoder();
            try {
                encoder_->encode(frame.picture, frame.pts, toMovie);
            } catch (...) {
                returnPicture(frame.picture);
                throw;
            }
            returnPicture(frame.picture);
        }
        // The last frame lasts until the session's end; a writer dropped before the end holds it one frame.
        int64_t endPts = 0;
        {
            std::lock_guard lock(mutex_);
            if (sessionEnd_ && sessionStart_) endPts = ticksOf(*sessionEnd_ - *sessionStart_);
        }
        closeMovie(endPts);
    } catch (const std::exception& failure) {
        failWith(failure.what());
        std::lock_guard lock(mutex_);
        for (const auto& queued : queue_) freePictures_.push_back(queued.picture);
        queue_.clear();
    }
    encoder_.reset();
    movie_.reset();  // after a failure this writes what it can as a last fragment
}

void FfmpegMovieWriter::openEncoder() {
    encoder_ = std::make_unique<HevcEncoder>(*settings_, FragmentedMovieFile::needsGlobalHeader());
    // The movie's sample description holds the first encoder's parameter sets; a later one must match.
    const AVCodecContext* context = encoder_->context();
    const std::string parameterSets(reinterpret_cast<const char*>(context->extradata), size_t(context->extradata_size));
    if (!parameterSets_) {
        parameterSets_ = parameterSets;
    } else if (*parameterSets_ != parameterSets) {
        throw std::runtime_error("HEVC encoder: the restarted encoder describes its stream differently");
    }
}

void FfmpegMovieWriter::flushWhileIdle() {
    const bool encoderHoldsFrames = encoder_ && encoder_->holdsFrames();
    if (!encoderHoldsFrames && !pending_->data) return;
    // Nothing new for a while (a still window): the frames held inside the encoder and the last encoded one
    // go to the file now, so that a crash during a long still stretch loses nothing that was captured. An
    // encoder that holds frames can only be drained by ending it, and the next frame starts a new one with a
    // keyframe. One that holds none (no reordering or look-ahead, the usual case) goes on: a restart would
    // cost a keyframe after every pause, and x265 leaves some memory behind each time it is closed.
    if (encoderHoldsFrames) {
        encoder_->flush([this](AVPacket* packet) { writeEncoded(packet); });
        encoder_.reset();
    }
    if (!pending_->data) return;
    int64_t nowPts = 0;
    {
        std::lock_guard lock(mutex_);
        // Never past the session's end: an idle flush can come just after the stop set it.
        double now = hostClockSeconds();
        if (sessionEnd_) now = std::min(now, *sessionEnd_);
        nowPts = ticksOf(now - sessionStart_.value_or(0));
    }
    // Held until now for the time being; the next fragment starts at its own time, and the finished movie
    // holds the frame until the next one.
    pending_->duration = std::max<int64_t>(1, nowPts - pending_->pts);
    const int64_t end = pending_->pts + pending_->duration;
    movie_->write(pending_);
    av_packet_unref(pending_);
    movie_->flushFragment();
    movie_->startDiscontinuity();
    fragmentStartPts_ = end;
}

void FfmpegMovieWriter::writeEncoded(AVPacket* packet) {
    if (pending_->data) {
        pending_->duration = std::max<int64_t>(1, packet->pts - pending_->pts);
        const int64_t end = pending_->pts + pending_->duration;
        movie_->write(pending_);
        av_packet_unref(pending_);
        if (end - fragmentStartPts_ >= kFragmentTicks) {
            movie_->flushFragment();
            fragmentStartPts_ = end;
        }
    }
    av_packet_move_ref(pending_, packet);
}

void FfmpegMovieWriter::closeMovie(int64_t endPts) {
    endPts_ = endPts;
    if (encoder_) encoder_->flush([this](AVPacket* packet) { writeEncoded(packet); });
    if (pending_->data) {
        const int64_t framePeriod = kMovieTimeBase.den / std::max(1, settings_->expectedSourceFrameRate);
        const int64_t duration = endPts > pending_->pts ? endPts - pending_->pts : framePeriod;
        pending_->duration = std::max<int64_t>(1, duration);
        movie_->write(pending_);
        av_packet_unref(pending_);
    }
    movie_->finish();
}

std::unique_ptr<MovieWriter> FfmpegMovieWriters::makeWriter(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
        throw std::runtime_error("movie file " + path + ": the folder " + folder.string() + " does not exist");
    }
    return std::make_unique<FfmpegMovieWriter>(path);
}

}  // namespace platform::linux_desktop
