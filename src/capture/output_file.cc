#include "capture/output_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "base/capture_error.h"

namespace capture {

void createOutputDirectory(const std::string& out) {
    const std::filesystem::path folder = std::filesystem::path(out).parent_path();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) throw std::runtime_error("cannot create the folder " + folder.string() + ": " + error.message());
    }
    requireReplaceableOutput(out);
}

void requireReplaceableOutput(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return;  // nothing there (or not reachable: the writer says why)
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) return;
    if (S_ISDIR(info.st_mode)) {
        std::error_code error;
        if (std::filesystem::is_empty(path, error) && !error) return;
        throw CaptureError("cannot write the movie to " + path + ": a folder with contents is there", "bad_request");
    }
    throw CaptureError("cannot write the movie to " + path + ": it is not a regular file", "bad_request");
}

void removeReplaceableOutput(const std::string& path) {
    requireReplaceableOutput(path);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace capture
