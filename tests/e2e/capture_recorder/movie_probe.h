#pragma once
// What FFmpeg's own tools read back from a movie file.

#include <cstdint>
#include <string>
#include <vector>

namespace capture_test {

struct MovieFacts {
    bool readable = false;        // ffprobe opened it
    std::string formatName;       // "mov,mp4,m4a,3gp,3g2,mj2" for a QuickTime file
    std::string majorBrand;       // "qt  " for a QuickTime movie
    std::string codecName;        // "hevc"
    std::string codecTag;         // "hvc1"
    int width = 0;
    int height = 0;
    long long frameCount = -1;    // samples in the track's index
    double streamSeconds = 0;     // the track's duration
    double formatSeconds = 0;     // the movie's duration
    bool hasBFrames = false;
    bool fragmented = false;      // holds movie fragments ("moof" boxes)
};

/// Probes `path` with ffprobe.
MovieFacts probeMovie(const std::string& path);

struct DecodeResult {
    long long frames = 0;         // frames decoded
    double endSeconds = 0;        // end of the last decoded frame (its time plus its duration)
    std::string errors;           // what the decoder complained about; empty when nothing
    int status = -1;              // ffmpeg's exit status
};

/// Decodes every frame of `path` with ffmpeg and reports how far it got.
DecodeResult decodeMovie(const std::string& path);

/// Every frame of `path` decoded by ffmpeg into BGRA pixels (the movie's own size, `width` by `height`), as
/// the movie's colour tags say.
std::vector<std::vector<uint8_t>> decodeBgraFrames(const std::string& path, int width, int height);

}  // namespace capture_test
