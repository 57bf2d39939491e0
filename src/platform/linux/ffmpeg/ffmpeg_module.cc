// The entry point of the movie writer module: the one symbol the executable looks up.

#include "platform/linux/ffmpeg/ffmpeg_movie_writer.h"

extern "C" __attribute__((visibility("default"))) platform::MovieWriters* qc_movie_writers() {
    static platform::linux_desktop::FfmpegMovieWriters writers;
    return &writers;
}
