#include "app/interruption.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "base/out.h"
#include "capture/window_recorder.h"

namespace app {
namespace {

// The handler only writes the signal's number here; a thread of its own reads it and does the work that
// a signal handler may not (locking, finishing a movie, writing the line).
int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

[[noreturn]] void handleSignals() {
    for (;;) {
        unsigned char number = 0;
        const ssize_t got = ::read(signalPipe[0], &number, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got != 1) std::_Exit(1);  // cannot happen: the write end is never closed
        if (capture::WindowRecorder::finishRunningRecordings()) Out::fail("the recording was interrupted", "external");
        // No recording: the signal does what it would have done.
        ::signal(number, SIG_DFL);
        ::raise(number);
    }
}

}  // namespace

void installInterruptHandling() {
    if (::pipe2(signalPipe, O_CLOEXEC) != 0) return;
    std::thread(handleSignals).detach();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT}) {
        // A signal the tool was started with ignored (SIGINT in a background job) stays ignored.
        struct sigaction previous {};
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(number, &action, nullptr);
    }
}

}  // namespace app
