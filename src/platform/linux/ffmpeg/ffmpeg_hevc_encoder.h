#pragma once
// An HEVC encoder (libx265 through libavcodec) fed with BGRA frames.

#include <cstdint>
#include <functional>

#include "platform/movie_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace platform::linux_desktop {

/// Time base of encoded frames and of the movie track: 90 kHz ticks, a whole number per frame at the usual
/// rates (24, 25, 30, 50, 60 fps and more).
inline constexpr AVRational kMovieTimeBase{1, 90000};

/// The coded picture size for frames of `input` size: 4:2:0 needs even widths and heights.
inline PictureSize hevcPictureSize(PictureSize input) {
    return {input.width + (input.width & 1), input.height + (input.height & 1)};
}

/// Encodes BGRA frames into HEVC packets, converting them to 4:2:0 first. Frames of an odd width or height
/// are encoded one pixel larger (4:2:0 needs even sizes), the last column or row repeated. Not
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

    /// Encodes `frame` at `pts` (in kMovieTimeBase, increasing); the packets ready now go to `sink`.
    void encode(const PixelBuffer& frame, int64_t pts, const PacketSink& sink);

    /// True while frames sent to the encoder have not all come out as packets.
    bool holdsFrames() const { return framesInside_ > 0; }

    /// Drains the encoder: every remaining packet goes to `sink`. No frame may follow.
    void flush(const PacketSink& sink);

private:
    void open(const VideoSettings& settings, bool globalHeader);
    void release();
    void convert(const PixelBuffer& frame);
    void receive(const PacketSink& sink);

    AVCodecContext* context_ = nullptr;
    AVFrame* picture_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* converter_ = nullptr;
    int framesInside_ = 0;
    int width_ = 0;  // the frames' own size; the coded size may be one larger
    int height_ = 0;
};

/// The text of a libav error code.
std::string avErrorText(int code);

}  // namespace platform::linux_desktop
