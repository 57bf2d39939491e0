#pragma once
// An X server of the test's own (Xvfb on a free display number), for tests that kill the display under the
// tool.

#include <string>

#include "support/child_process.h"

namespace support {

class PrivateXServer {
public:
    /// Starts Xvfb with one screen of `screen` (WIDTHxHEIGHTxDEPTH) and waits (up to 30 s) for its display.
    explicit PrivateXServer(const std::string& screen);

    /// ":N", or empty when the server did not start.
    const std::string& display() const { return display_; }

    /// Kills the server outright (SIGKILL) and waits for it; it is killed so when the object goes too.
    void kill() { server_.end(0); }

private:
    ChildProcess server_;
    std::string display_;
};

}  // namespace support
