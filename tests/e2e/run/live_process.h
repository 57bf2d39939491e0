#pragma once
// A child process whose standard output is read line by line while it runs.

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/protocol_log.h"

namespace runtest {

class LiveProcess {
public:
    /// Starts `argv` with the current environment plus `set`; standard error goes to `stderrPath` when
    /// given, else it is inherited.
    explicit LiveProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& set = {},
                         const std::string& stderrPath = "");
    ~LiveProcess();
    LiveProcess(const LiveProcess&) = delete;
    LiveProcess& operator=(const LiveProcess&) = delete;

    pid_t pid() const { return pid_; }

    /// The next line of standard output, or none when the process closed it or `timeoutSeconds` passed.
    std::optional<std::string> readLine(double timeoutSeconds);

    /// Reads lines until one parses as a JSON object for which `accept` holds; none on timeout or end.
    template <typename Accept>
    std::optional<nlohmann::json> waitFor(Accept accept, double timeoutSeconds);

    /// Every line read so far.
    const std::vector<std::string>& lines() const { return lines_; }

    /// Waits for the process to end (reading the rest of its output); its exit status, or -1 on timeout.
    int wait(double timeoutSeconds);

    /// Closes this end of the process's standard output, as a host that stops reading does.
    void closeOutput();

    /// Ends the process (SIGTERM, then SIGKILL) if it still runs.
    void stop();

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string buffer_;
    std::vector<std::string> lines_;
    int status_ = -1;
    bool reaped_ = false;
    support::ProtocolRecord protocol_;  // what the tool said, for the protocol log
};

/// Monotonic seconds, for the tests' own deadlines.
double nowSeconds();

template <typename Accept>
std::optional<nlohmann::json> LiveProcess::waitFor(Accept accept, double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    for (;;) {
        const double left = deadline - nowSeconds();
        if (left <= 0) return std::nullopt;
        auto line = readLine(left);
        if (!line) return std::nullopt;
        auto value = nlohmann::json::parse(*line, nullptr, false);
        if (value.is_object() && accept(value)) return value;
    }
}

}  // namespace runtest
