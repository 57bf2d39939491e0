#pragma once
// The fixture application (tests/fixture) run by a desktop test: started, its event lines (one JSON object a
// line) read as they come, and ended with the test.

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/child_process.h"

namespace support {

/// The path of the built fixture application.
std::string fixturePath();

class FixtureProcess {
public:
    using Accept = std::function<bool(const nlohmann::json&)>;

    /// Starts the fixture with `args`, and this process's environment with `environment` set, and waits (up
    /// to 30 s) for its "ready" line and the "geometry" line that follows it.
    explicit FixtureProcess(const std::vector<std::string>& args = {},
                            const std::map<std::string, std::string>& environment = {});

    /// Whether the fixture got ready and told where its widgets are.
    bool ready() const { return ready_; }
    pid_t pid() const { return process_.pid(); }
    ChildProcess& process() { return process_; }

    /// Takes lines until one that `accept` takes; none when none came within `timeoutSeconds` or the fixture
    /// ended. Lines passed over are taken too.
    std::optional<nlohmann::json> waitFor(const Accept& accept, double timeoutSeconds = 10);
    /// The next line with "event" `event`, as waitFor.
    std::optional<nlohmann::json> waitForEvent(const std::string& event, double timeoutSeconds = 10);
    /// Whether any line since the start, taken or not, satisfies `accept`, waiting up to `timeoutSeconds`.
    bool reported(const Accept& accept, double timeoutSeconds);

    /// The widgets of the latest "geometry" line ({"Save": {"x", "y", "width", "height"}, ..., "window": ...}),
    /// once no line came for 50 ms; takes no line.
    nlohmann::json geometry();
    /// The rectangle of widget `name` in geometry(), or null when it has none (not mapped).
    nlohmann::json widget(const std::string& name);

    /// Stops and continues the process (SIGSTOP, SIGCONT).
    void freeze();
    void thaw();

    /// Every line read so far, for failure messages.
    const std::string& transcript() const { return process_.output(); }

private:
    ChildProcess process_;
    bool ready_ = false;
};

}  // namespace support
