#include "jobs/job_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/out.h"

namespace jobs {
namespace {

// Closes a descriptor when the reading ends, however it ends.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// The deepest nesting of arrays and objects in `bytes`, counted outside strings; stops counting once
// `limit` is passed. Malformed text is left to the parser.
size_t nestingDepth(const std::string& bytes, size_t limit) {
    size_t depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : bytes) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

std::optional<std::string> readFileBytes(const std::string& path, size_t maximumBytes) {
    // Opened without blocking, so that a FIFO or a device named as the job never holds the tool; only a
    // regular file is read.
    FileDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maximumBytes) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        // The file may grow while it is read; the limit holds for what is read, not only for its size.
        if (bytes.size() + static_cast<size_t>(got) > maximumBytes) return std::nullopt;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

Json parseDocument(const std::string& bytes) {
    // The parser would take a NUL byte for the end of the text and ignore what follows it; no JSON text
    // holds one (inside strings it must be escaped), so a document with one is refused whole.
    if (bytes.find('\0') != std::string::npos) throw DecodeError("a NUL byte in the document");
    if (nestingDepth(bytes, kMaximumJobNesting) > kMaximumJobNesting) throw DecodeError("nested too deeply");
    // The parser skips a UTF-8 byte-order mark, refuses invalid UTF-8 inside strings and anything after
    // the one JSON text but white space.
    return Json::parse(bytes);
}

void failUnreadableJob(const std::string& path) { Out::fail("cannot read job " + path, "bad_request"); }

}  // namespace jobs
