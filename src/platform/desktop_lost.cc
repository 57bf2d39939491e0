#include "platform/desktop_lost.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::mutex& handlerMutex() {
    static std::mutex* mutex = new std::mutex;  // never destroyed: a loss may be reported during exit
    return *mutex;
}

DesktopLostHandler& installedHandler() {
    static DesktopLostHandler* handler = new DesktopLostHandler;
    return *handler;
}

std::atomic<bool> reported{false};
std::atomic<std::thread::id> reportingThread{};

[[noreturn]] void waitForEver() {
    for (;;) pause();
}

}  // namespace

DesktopLostHandler setDesktopLostHandler(DesktopLostHandler handler) {
    std::lock_guard lock(handlerMutex());
    std::swap(installedHandler(), handler);
    return handler;
}

void desktopLost(const std::string& what) {
    if (reported.exchange(true)) {
        // Another thread is ending the process; the same thread reporting again (the handler touched the
        // lost desktop) ends it here.
        if (reportingThread.load() != std::this_thread::get_id()) waitForEver();
        std::_Exit(1);
    }
    reportingThread = std::this_thread::get_id();
    DesktopLostHandler handler;
    {
        std::lock_guard lock(handlerMutex());
        handler = installedHandler();
    }
    if (handler) handler(what);
    std::_Exit(1);
}

}  // namespace platform
