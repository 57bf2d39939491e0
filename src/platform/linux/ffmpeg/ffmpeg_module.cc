// The entry point of the movie writer module.

#include "platform/linux/ffmpeg/ffmpeg_movie_writer.h"
#include "platform/linux/module_entry.h"

QC_MODULE_ENTRY(context) {
    static platform::linux_desktop::FfmpegMovieWriters writers;
    static const platform::linux_desktop::ModuleTable table{.services = {.movies = &writers}};
    return &table;
}
