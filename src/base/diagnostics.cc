#include "base/diagnostics.h"

#include <unistd.h>

#include <cerrno>

#include "base/utf8.h"

namespace Out {

void writeWhole(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        done += static_cast<size_t>(written);
    }
}

void log(const std::string& text) { writeWhole(STDERR_FILENO, validUtf8(text) + "\n"); }

}  // namespace Out
