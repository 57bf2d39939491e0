#include "run/job_values.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <stdexcept>

#include "base/capture_error.h"
#include "capture/output_file.h"

namespace run {
namespace {

// The length in bytes of the space separator or tab that starts `text` at `at`, or 0 when none does.
size_t spaceAt(const std::string& text, size_t at) {
    static const char* const kSpaces[] = {
        " ", "\t", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005",
        "\u2006", "\u2007", "\u2008", "\u2009", "\u200A", "\u202F", "\u205F", "\u3000",
    };
    for (const char* space : kSpaces) {
        const std::string_view candidate(space);
        if (text.compare(at, candidate.size(), candidate) == 0) return candidate.size();
    }
    return 0;
}

// The length of the space separator or tab that ends `text` before `end`, or 0.
size_t spaceBefore(const std::string& text, size_t end) {
    for (size_t length = 1; length <= 3 && length <= end; ++length)
        if (spaceAt(text, end - length) == length) return length;
    return 0;
}

}  // namespace

std::string applicationString(const std::optional<std::string>& app) {
    if (!app) return "";
    const std::string& text = *app;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t length = spaceAt(text, begin);
        if (length == 0) break;
        begin += length;
    }
    size_t end = text.size();
    while (end > begin) {
        const size_t length = spaceBefore(text, end);
        if (length == 0) break;
        end -= length;
    }
    return text.substr(begin, end - begin);
}

void createOutputDirectory(const std::string& out) {
    const std::filesystem::path folder = std::filesystem::path(out).parent_path();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) throw std::runtime_error("cannot create the folder " + folder.string() + ": " + error.message());
    }
    capture::requireReplaceableOutput(out);
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

bool fileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && lstat(path.c_str(), &info) == 0;
}

double secondsFromMs(const std::optional<double>& ms, double defaultSeconds) {
    return ms ? *ms / 1000 : defaultSeconds;
}

}  // namespace run
