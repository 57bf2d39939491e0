#pragma once
// An HEVC encoder (libx265 through libavcodec) fed with 4:2:0 pictures.

#include <cstdint>
#include <functional>

#include "platform/movie_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace platform::linux_desktop {

/// Time base of encoded frames and of the movie track: 90 kHz ticks, a whole number per frame at the usual
/// rates (24, 25, 30, 50, 60 fps and more).
inline constexpr AVRational kMovieTimeBase{1, 90000};

/// The coded picture size for frames of `input` size: 4:2:0 needs even widths and heights.
inline PixelSize hevcPictureSize(PixelSize input) {
    return {input.width + (input.width & 1), input.height + (input.height & 1)};
}

/// Encodes 4:2:0 pictures of the coded size (`hevcPictureSize` of the frames' size) into HEVC packets. Not
/// thread-safe: one thread feeds it. Errors are thrown as std::runtime_error naming the encoder.
class HevcEncoder {
public:
    using PacketSink = std::function<void(AVPacket* packet)>;

    /// Opens the encoder; `globalHeader` puts the parameter sets in the codec's extradata (the movie's
    /// sample description) rather than in the stream.
    HevcEncoder(const VideoSettings& settings, bool globalHeader);
    ~HevcEncoder();
    HevcEncoder(const HevcEncoder&) = delete;
    HevcEncoder& operator=(const HevcEncoder&) = delete;

    /// The opened codec context, for the movie's stream parameters.
    const AVCodecContext* context() const { return context_; }

    /// Encodes `picture` (YUV420P of the coded size) at `pts` (in kMovieTimeBase, increasing); the packets
    /// ready now go to `sink`. The encoder keeps its own copy: the picture may be reused once this returns.
    void encode(AVFrame* picture, int64_t pts, const PacketSink& sink);

    /// True while frames sent to the encoder have not all come out as packets.
    bool holdsFrames() const { return framesInside_ > 0; }

    /// Drains the encoder: every remaining packet goes to `sink`. No frame may follow.
    void flush(const PacketSink& sink);

private:
    void open(const VideoSettings& settings, bool globalHeader);
    void release();
    void receive(const PacketSink& sink);

    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    int framesInside_ = 0;
};

/// The text of a libav error code.
std::string avErrorText(int code);

}  // namespace platform::linux_desktop
