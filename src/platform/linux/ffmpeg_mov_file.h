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
/// opening), keeping every sample, its time and duration. Throws std::runtime_error naming what failed.
void writePlainMovie(const std::string& from, const std::string& to);

}  // namespace platform::linux_desktop
