#include "platform/linux/ffmpeg/ffmpeg_hevc_encoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

namespace platform::linux_desktop {
namespace {

[[noreturn]] void fail(const std::string& what, int code) {
    throw std::runtime_error("HEVC encoder: " + what + ": " + avErrorText(code));
}

// x265 settings: the fastest preset, no B-frames (no reordering), a short look-ahead and a closed GOP with a
// keyframe every second. Frame threads stay on: "zerolatency" would turn them off and cost most of the
// throughput on a small machine.
std::string x265Parameters(int fps) {
    const int keyframeInterval = std::max(1, fps);
    return "bframes=0:b-adapt=0:rc-lookahead=2:open-gop=0:keyint=" + std::to_string(keyframeInterval) +
           ":min-keyint=1:scenecut=0:repeat-headers=0:info=0:log-level=error";
}

}  // namespace

std::string avErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

HevcEncoder::HevcEncoder(const VideoSettings& settings, bool globalHeader)
    : width_(settings.width), height_(settings.height) {
    try {
        open(settings, globalHeader);
    } catch (...) {
        release();
        throw;
    }
}

void HevcEncoder::open(const VideoSettings& settings, bool globalHeader) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx265");
    if (!codec) throw std::runtime_error("HEVC encoder: libx265 is not available in this FFmpeg");
    context_ = avcodec_alloc_context3(codec);
    picture_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!context_ || !picture_ || !packet_) throw std::runtime_error("HEVC encoder: out of memory");

    const int fps = std::max(1, settings.expectedSourceFrameRate);
    const PictureSize coded = hevcPictureSize({width_, height_});
    context_->width = coded.width;
    context_->height = coded.height;
    context_->pix_fmt = AV_PIX_FMT_YUV420P;
    context_->time_base = kMovieTimeBase;
    context_->framerate = AVRational{fps, 1};
    context_->bit_rate = std::min<int64_t>(settings.averageBitRate, int64_t{2'000'000'000'000});
    context_->max_b_frames = 0;
    context_->gop_size = fps;
    // Screen content: BT.709 colours in the limited range, as the conversion below produces them.
    context_->colorspace = AVCOL_SPC_BT709;
    context_->color_primaries = AVCOL_PRI_BT709;
    context_->color_trc = AVCOL_TRC_BT709;
    context_->color_range = AVCOL_RANGE_MPEG;
    if (globalHeader) context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "ultrafast", 0);
    av_dict_set(&options, "x265-params", x265Parameters(fps).c_str(), 0);
    const int opened = avcodec_open2(context_, codec, &options);
    av_dict_free(&options);
    if (opened < 0) fail("cannot open libx265 for " + std::to_string(width_) + "x" + std::to_string(height_), opened);

    picture_->format = AV_PIX_FMT_YUV420P;
    picture_->width = context_->width;
    picture_->height = context_->height;
    if (const int allocated = av_frame_get_buffer(picture_, 0); allocated < 0) {
        fail("cannot allocate a frame", allocated);
    }

    converter_ = sws_getContext(width_, height_, AV_PIX_FMT_BGRA, width_, height_, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
                                nullptr, nullptr, nullptr);
    if (!converter_) throw std::runtime_error("HEVC encoder: cannot convert BGRA frames");
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(converter_, bt709, /*srcRange=*/1, bt709, /*dstRange=*/0, 0, 1 << 16, 1 << 16);
}

HevcEncoder::~HevcEncoder() { release(); }

void HevcEncoder::release() {
    sws_freeContext(converter_);
    converter_ = nullptr;
    av_packet_free(&packet_);
    av_frame_free(&picture_);
    avcodec_free_context(&context_);
}

void HevcEncoder::convert(const PixelBuffer& frame) {
    if (frame.width != width_ || frame.height != height_ || frame.bytes == nullptr) {
        throw std::runtime_error("HEVC encoder: a frame of " + std::to_string(frame.width) + "x" +
                                 std::to_string(frame.height) + " does not fit a movie of " + std::to_string(width_) +
                                 "x" + std::to_string(height_));
    }
    if (const int writable = av_frame_make_writable(picture_); writable < 0) fail("cannot reuse a frame", writable);
    const uint8_t* source[] = {frame.bytes};
    const int sourceStride[] = {frame.bytesPerRow};
    sws_scale(converter_, source, sourceStride, 0, height_, picture_->data, picture_->linesize);

    // An odd size: repeat the last luma column and row into the padding (chroma already covers it).
    uint8_t* luma = picture_->data[0];
    const int lumaStride = picture_->linesize[0];
    if (width_ & 1) {
        for (int row = 0; row < height_; ++row) luma[row * lumaStride + width_] = luma[row * lumaStride + width_ - 1];
    }
    if (height_ & 1) {
        std::memcpy(luma + height_ * lumaStride, luma + (height_ - 1) * lumaStride, size_t(picture_->width));
    }
}

void HevcEncoder::encode(const PixelBuffer& frame, int64_t pts, const PacketSink& sink) {
    convert(frame);
    picture_->pts = pts;
    picture_->pict_type = AV_PICTURE_TYPE_NONE;
    if (const int sent = avcodec_send_frame(context_, picture_); sent < 0) fail("cannot encode a frame", sent);
    ++framesInside_;
    receive(sink);
}

void HevcEncoder::flush(const PacketSink& sink) {
    const int sent = avcodec_send_frame(context_, nullptr);
    if (sent < 0 && sent != AVERROR_EOF) fail("cannot finish encoding", sent);
    receive(sink);
}

void HevcEncoder::receive(const PacketSink& sink) {
    for (;;) {
        const int received = avcodec_receive_packet(context_, packet_);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
        if (received < 0) fail("cannot take an encoded frame", received);
        framesInside_ = std::max(0, framesInside_ - 1);
        sink(packet_);
        av_packet_unref(packet_);
    }
}

}  // namespace platform::linux_desktop
