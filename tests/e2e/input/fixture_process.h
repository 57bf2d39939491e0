#pragma once
// The fixture application as a child process whose event lines the test reads.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace e2e {

class FixtureProcess {
public:
    /// Starts the fixture application `path` with `args`.
    FixtureProcess(const std::string& path, const std::vector<std::string>& args = {});
    ~FixtureProcess();
    FixtureProcess(const FixtureProcess&) = delete;
    FixtureProcess& operator=(const FixtureProcess&) = delete;

    /// The first not yet taken line, from now on, that satisfies `wanted`; null when none came within
    /// `timeoutSeconds` or the program ended.
    nlohmann::json waitFor(const std::function<bool(const nlohmann::json&)>& wanted, double timeoutSeconds = 10);

    /// The first line with "event" `event`, as waitFor.
    nlohmann::json waitForEvent(const std::string& event, double timeoutSeconds = 10);

    /// Every line read so far, for failure messages.
    std::string transcript() const;

    pid_t pid() const { return pid_; }

private:
    bool readMore(double timeoutSeconds);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    size_t taken_ = 0;
};

}  // namespace e2e
