#pragma once
// QuickTime movie files with one HEVC track: written in fragments while recording, made ordinary at the end.

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace platform::linux_desktop {

/// A QuickTime movie written as a header followed by self-contained fragments. Every completed fragment is
/// on disk at once, so the file stays readable up to its last fragment when the program dies. Errors are
/// thrown as std::runtime_error naming the file.
class FragmentedMovieFile {
public:
    /// Creates (or truncates) `path` and writes the header for the stream `encoder` produces.
    FragmentedMovieFile(const std::string& path, const AVCodecContext* encoder);
    ~FragmentedMovieFile();
    FragmentedMovieFile(const FragmentedMovieFile&) = delete;
    FragmentedMovieFile& operator=(const FragmentedMovieFile&) = delete;

    /// Writes one packet (timestamps and duration in the encoder's time base).
    void write(AVPacket* packet);

    /// Ends the current fragment and pushes it to the file.
    void flushFragment();

    /// Makes the next fragment start at its first packet's own time, however long the gap before it (the
    /// fragments otherwise follow on from the durations written so far).
    void startDiscontinuity();

    /// Writes the last fragment and the index, and closes the file.
    void finish();

    /// True when the file must be read with a global header in the codec's extradata.
    static bool needsGlobalHeader();

private:
    [[noreturn]] void fail(const std::string& what, int code);

    std::string path_;
    AVFormatContext* format_ = nullptr;
    AVStream* stream_ = nullptr;
    AVRational encoderTimeBase_{};
    bool finished_ = false;
};

/// Copies the fragmented movie at `from` into an ordinary QuickTime movie at `to` (index first, for quick
/// opening), keeping every sample and its time. Each sample lasts until the next; the last one until `end`
/// (in `timeBase`) or the track's end, whichever is later. Throws std::runtime_error naming what failed.
void writePlainMovie(const std::string& from, const std::string& to, int64_t end, AVRational timeBase);

}  // namespace platform::linux_desktop
