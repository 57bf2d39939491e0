#pragma once
// The main loop on GLib's default main context.

#include <atomic>

#include "platform/run_loop.h"

namespace platform::linux_desktop {

class GlibRunLoop final : public RunLoop {
public:
    GlibRunLoop();
    void runFor(double seconds) override;
    void wake() override;

private:
    // Serves the main context for `seconds` (at most a day); true when `wake` ended it early.
    bool serveFor(double seconds);

    std::atomic<bool> wakeRequested_{false};
};

}  // namespace platform::linux_desktop
