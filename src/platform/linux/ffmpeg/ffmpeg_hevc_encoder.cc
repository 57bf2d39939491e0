#include "platform/linux/ffmpeg/ffmpeg_hevc_encoder.h"

#include <algorithm>
#include <climits>
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

// x265 settings for screen content in real time, on top of the fastest preset:
// - no B-frames (no reordering), no look-ahead and one frame thread: a frame is coded as soon as it comes,
//   and x265 keeps few pictures (its memory is most of the writer's);
// - a closed GOP with a keyframe every `fps` frames;
// - no CU-tree, RD level 1 and no psycho-visual RD: together about a fifth of the encoder's time, with no
//   loss that a structural similarity measure of recorded desktop work shows.
std::string x265Parameters(int fps) {
    const int keyframeInterval = std::max(1, fps);
    return "bframes=0:b-adapt=0:rc-lookahead=0:lookahead-slices=0:frame-threads=1:open-gop=0:keyint=" +
           std::to_string(keyframeInterval) +
           ":min-keyint=1:scenecut=0:cutree=0:rd=1:psy-rd=0:repeat-headers=0:info=0:log-level=error";
}

// Constant quality: text stays as sharp as at the average bit rate, and a still or slowly changing window
// costs few bits (an average-rate target spends them all, and the encoder's time with them).
constexpr const char* kConstantQuality = "18";

}  // namespace

std::string avErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

HevcEncoder::HevcEncoder(const VideoSettings& settings, bool globalHeader) {
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
    packet_ = av_packet_alloc();
    if (!context_ || !packet_) throw std::runtime_error("HEVC encoder: out of memory");

    const int fps = std::max(1, settings.expectedSourceFrameRate);
    const PixelSize coded = hevcPictureSize({settings.width, settings.height});
    context_->width = coded.width;
    context_->height = coded.height;
    context_->pix_fmt = AV_PIX_FMT_YUV420P;
    context_->time_base = kMovieTimeBase;
    context_->framerate = AVRational{fps, 1};
    // The average bit rate is the ceiling: over any second the stream stays within it.
    const int64_t averageBitRate = std::min<int64_t>(settings.averageBitRate, INT_MAX);
    context_->bit_rate = averageBitRate;
    context_->rc_max_rate = averageBitRate;
    context_->rc_buffer_size = static_cast<int>(averageBitRate);
    context_->max_b_frames = 0;
    context_->gop_size = fps;
    // Screen content: BT.709 colours in the limited range, as the writer converts frames.
    context_->colorspace = AVCOL_SPC_BT709;
    context_->color_primaries = AVCOL_PRI_BT709;
    context_->color_trc = AVCOL_TRC_BT709;
    context_->color_range = AVCOL_RANGE_MPEG;
    if (globalHeader) context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "ultrafast", 0);
    av_dict_set(&options, "crf", kConstantQuality, 0);
    av_dict_set(&options, "x265-params", x265Parameters(fps).c_str(), 0);
    const int opened = avcodec_open2(context_, codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        fail("cannot open libx265 for " + std::to_string(settings.width) + "x" + std::to_string(settings.height),
             opened);
    }
}

HevcEncoder::~HevcEncoder() { release(); }

void HevcEncoder::release() {
    av_packet_free(&packet_);
    avcodec_free_context(&context_);
}

void HevcEncoder::encode(AVFrame* picture, int64_t pts, const PacketSink& sink) {
    picture->pts = pts;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    if (const int sent = avcodec_send_frame(context_, picture); sent < 0) fail("cannot encode a frame", sent);
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
