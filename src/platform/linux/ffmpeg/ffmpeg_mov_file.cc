#include "platform/linux/ffmpeg/ffmpeg_mov_file.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "platform/linux/ffmpeg/ffmpeg_hevc_encoder.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/opt.h>
}

namespace platform::linux_desktop {
namespace {

const AVOutputFormat* movFormat() {
    const AVOutputFormat* format = av_guess_format("mov", nullptr, nullptr);
    if (!format) throw std::runtime_error("movie file: the QuickTime muxer is not available in this FFmpeg");
    return format;
}

// The sample description tag QuickTime players expect for HEVC with its parameter sets in the header.
uint32_t hvc1Tag() { return MKTAG('h', 'v', 'c', '1'); }

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

struct OutputCloser {
    void operator()(AVFormatContext* context) const {
        if (context->pb) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

}  // namespace

bool FragmentedMovieFile::needsGlobalHeader() { return (movFormat()->flags & AVFMT_GLOBALHEADER) != 0; }

FragmentedMovieFile::FragmentedMovieFile(const std::string& path, const AVCodecContext* encoder)
    : path_(path), encoderTimeBase_(encoder->time_base) {
    if (const int made = avformat_alloc_output_context2(&format_, movFormat(), nullptr, path.c_str()); made < 0) {
        fail("cannot make a QuickTime muxer", made);
    }
    stream_ = avformat_new_stream(format_, nullptr);
    if (!stream_) fail("cannot add the video track", AVERROR(ENOMEM));
    if (const int copied = avcodec_parameters_from_context(stream_->codecpar, encoder); copied < 0) {
        fail("cannot describe the video track", copied);
    }
    stream_->codecpar->codec_tag = hvc1Tag();
    stream_->time_base = encoder->time_base;
    stream_->avg_frame_rate = encoder->framerate;

    if (const int opened = avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE); opened < 0) {
        fail("cannot create the file", opened);
    }
    // An empty header and fragments cut when asked: each fragment carries its own index, so a file cut
    // short by a crash reads up to its last complete fragment.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "empty_moov+frag_custom+default_base_moof", 0);
    const int written = avformat_write_header(format_, &options);
    av_dict_free(&options);
    if (written < 0) fail("cannot write the header", written);
    avio_flush(format_->pb);
}

FragmentedMovieFile::~FragmentedMovieFile() {
    if (!format_) return;
    if (!finished_ && format_->pb) {
        av_write_trailer(format_);  // whatever is buffered becomes a last fragment
    }
    if (format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
}

void FragmentedMovieFile::fail(const std::string& what, int code) {
    throw std::runtime_error("movie file " + path_ + ": " + what + ": " + avErrorText(code));
}

void FragmentedMovieFile::write(AVPacket* packet) {
    av_packet_rescale_ts(packet, encoderTimeBase_, stream_->time_base);
    packet->stream_index = stream_->index;
    if (const int written = av_write_frame(format_, packet); written < 0) fail("cannot write a frame", written);
}

void FragmentedMovieFile::flushFragment() {
    // With custom fragments, writing no packet ends the fragment; the I/O buffer is then pushed to the file.
    if (const int flushed = av_write_frame(format_, nullptr); flushed < 0) fail("cannot write a fragment", flushed);
    avio_flush(format_->pb);
    if (format_->pb->error < 0) fail("cannot write a fragment", format_->pb->error);
}

void FragmentedMovieFile::startDiscontinuity() {
    if (const int set = av_opt_set(format_->priv_data, "movflags", "+frag_discont", 0); set < 0) {
        fail("cannot mark a gap", set);
    }
}

void FragmentedMovieFile::finish() {
    finished_ = true;
    const int written = av_write_trailer(format_);
    const int ioError = format_->pb ? format_->pb->error : 0;
    const int closed = avio_closep(&format_->pb);
    if (written < 0) fail("cannot finish the file", written);
    if (ioError < 0) fail("cannot finish the file", ioError);
    if (closed < 0) fail("cannot close the file", closed);
}

void writePlainMovie(const std::string& from, const std::string& to, int64_t end, AVRational timeBase) {
    const auto failure = [](const std::string& what, int code) {
        return std::runtime_error("movie file: " + what + ": " + avErrorText(code));
    };

    AVFormatContext* rawInput = nullptr;
    if (const int opened = avformat_open_input(&rawInput, from.c_str(), nullptr, nullptr); opened < 0) {
        throw failure("cannot read back " + from, opened);
    }
    std::unique_ptr<AVFormatContext, InputCloser> input(rawInput);
    if (const int found = avformat_find_stream_info(input.get(), nullptr); found < 0) {
        throw failure("cannot read back " + from, found);
    }
    if (input->nb_streams != 1) throw std::runtime_error("movie file: " + from + " does not hold one video track");
    const AVStream* source = input->streams[0];

    AVFormatContext* rawOutput = nullptr;
    if (const int made = avformat_alloc_output_context2(&rawOutput, movFormat(), nullptr, to.c_str()); made < 0) {
        throw failure("cannot make a QuickTime muxer", made);
    }
    std::unique_ptr<AVFormatContext, OutputCloser> output(rawOutput);
    AVStream* target = avformat_new_stream(output.get(), nullptr);
    if (!target) throw failure("cannot add the video track", AVERROR(ENOMEM));
    if (const int copied = avcodec_parameters_copy(target->codecpar, source->codecpar); copied < 0) {
        throw failure("cannot describe the video track", copied);
    }
    target->codecpar->codec_tag = hvc1Tag();
    target->time_base = source->time_base;
    target->avg_frame_rate = source->avg_frame_rate;

    if (const int opened = avio_open(&output->pb, to.c_str(), AVIO_FLAG_WRITE); opened < 0) {
        throw failure("cannot create " + to, opened);
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "faststart", 0);
    const int header = avformat_write_header(output.get(), &options);
    av_dict_free(&options);
    if (header < 0) throw failure("cannot write the header of " + to, header);

    // The demuxer gives the last sample one frame period; its true length is what the track's duration says,
    // so each packet is written once the next one shows where it ends.
    int64_t trackEnd = av_rescale_q(end, timeBase, source->time_base);
    if (source->duration != AV_NOPTS_VALUE) {
        const int64_t start = source->start_time != AV_NOPTS_VALUE ? source->start_time : 0;
        trackEnd = std::max(trackEnd, start + source->duration);
    }
    AVPacket* packet = av_packet_alloc();
    AVPacket* held = av_packet_alloc();
    const auto release = [&] {
        av_packet_free(&packet);
        av_packet_free(&held);
    };
    if (!packet || !held) {
        release();
        throw failure("cannot copy frames", AVERROR(ENOMEM));
    }
    const auto writeHeld = [&](int64_t nextDts) {
        if (nextDts != AV_NOPTS_VALUE && nextDts > held->dts) held->duration = nextDts - held->dts;
        av_packet_rescale_ts(held, source->time_base, target->time_base);
        held->stream_index = target->index;
        held->pos = -1;
        const int written = av_write_frame(output.get(), held);
        av_packet_unref(held);
        return written;
    };
    for (;;) {
        const int read = av_read_frame(input.get(), packet);
        if (read == AVERROR_EOF) break;
        int written = 0;
        if (read >= 0 && held->data) written = writeHeld(packet->dts);
        if (read < 0 || written < 0) {
            release();
            if (read < 0) throw failure("cannot read back " + from, read);
            throw failure("cannot write " + to, written);
        }
        av_packet_move_ref(held, packet);
    }
    if (held->data) {
        if (const int written = writeHeld(trackEnd); written < 0) {
            release();
            throw failure("cannot write " + to, written);
        }
    }
    release();
    if (const int trailer = av_write_trailer(output.get()); trailer < 0) throw failure("cannot finish " + to, trailer);
    if (output->pb->error < 0) throw failure("cannot write " + to, output->pb->error);
    if (const int closed = avio_closep(&output->pb); closed < 0) throw failure("cannot close " + to, closed);
}

}  // namespace platform::linux_desktop
