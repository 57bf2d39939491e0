#include "app/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace app {

void holdClosedStandardStreams() {
    // In order, so that each open takes the lowest free number, which is the closed one.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

}  // namespace app
