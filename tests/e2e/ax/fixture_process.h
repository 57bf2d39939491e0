#pragma once
// The fixture application run as a child process for desktop tests: started, read line by line, stopped,
// continued and killed.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/accessibility.h"

namespace e2e {

class FixtureProcess {
public:
    /// Starts the fixture with `args` and waits (up to 20 s) for its "ready" line.
    explicit FixtureProcess(const std::vector<std::string>& args = {});
    ~FixtureProcess();
    FixtureProcess(const FixtureProcess&) = delete;
    FixtureProcess& operator=(const FixtureProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool ready() const { return ready_; }

    /// The next line (after those already taken) whose "event" is `event` and that `match` accepts, waiting up
    /// to `timeoutSeconds`; lines passed over stay unread for later calls only if they come after the hit.
    std::optional<nlohmann::json> waitFor(const std::string& event, double timeoutSeconds,
                                          const std::function<bool(const nlohmann::json&)>& match = {});

    /// The most recent "geometry" line's widgets (reads what has arrived so far).
    nlohmann::json geometry();

    /// The rectangle of widget `name` in the latest geometry line.
    platform::Rect widget(const std::string& name);

    /// Stops and continues the process (SIGSTOP, SIGCONT).
    void freeze();
    void thaw();

private:
    void readAvailable(int timeoutMs);

    pid_t pid_ = -1;
    int out_ = -1;
    bool ready_ = false;
    bool frozen_ = false;
    std::string pending_;
    std::vector<nlohmann::json> lines_;
    size_t taken_ = 0;
};

/// The fixture's accessible application and main window, waiting (up to 20 s) for both to appear.
struct FixtureElements {
    platform::Element app;
    platform::Element window;
};
std::optional<FixtureElements> fixtureElements(pid_t pid, const std::string& title = "Quorrel Fixture");

/// The center of a rectangle.
platform::Point center(const platform::Rect& rect);

}  // namespace e2e
