#include "run/signal_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/capture_error.h"

namespace run {

bool fileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && lstat(path.c_str(), &info) == 0;
}

void requireWritableStartedFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        throw CaptureError("cannot write the started file " + path + ": it is not a regular file", "bad_request");
}

void writeStartedFile(const std::string& path, const std::string& text) {
    // Without blocking: a FIFO or device put there after the check is left alone rather than waited on.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) == 0) {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) break;
            done += static_cast<size_t>(written);
        }
    }
    ::close(fd);
}

}  // namespace run
