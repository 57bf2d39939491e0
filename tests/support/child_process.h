#pragma once
// A program run by a test: started with its own arguments and environment in a process group of its own,
// its standard output and error read as they come, and the whole group ended when the object goes.

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/protocol_log.h"

namespace support {

/// Seconds on the monotonic clock, for deadlines.
double nowSeconds();

/// Where a child's standard output or error goes.
struct ChildStream {
    enum class Kind { pipe, inherit, file, discard };
    Kind kind = Kind::pipe;
    std::string path{};  // for `file`, created or truncated

    static ChildStream pipe() { return {Kind::pipe, {}}; }
    static ChildStream inherit() { return {Kind::inherit, {}}; }
    static ChildStream file(const std::string& path) { return {Kind::file, path}; }
    static ChildStream discard() { return {Kind::discard, {}}; }
};

struct ChildOptions {
    /// Variables set or replaced in the environment the child inherits.
    std::map<std::string, std::string> set{};
    /// Variables removed from it.
    std::vector<std::string> unset{};
    std::optional<std::string> workingDirectory{};
    ChildStream out = ChildStream::pipe();
    /// Standard error is inherited unless asked for: a pipe nobody reads would stall a talkative program.
    ChildStream err = ChildStream::inherit();
};

class ChildProcess {
public:
    /// Starts `argv` (looked up in PATH when the program has no slash) with standard input on /dev/null;
    /// throws std::runtime_error when it cannot start.
    explicit ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {});
    /// Ends the process group (as `end`).
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    /// Reads what has arrived on the pipes, waiting up to `timeoutSeconds` for the first bytes; false when
    /// nothing came. Both pipes are read together, so a child filling one never waits for the other.
    bool readMore(double timeoutSeconds);

    /// The next line of standard output not yet taken, without its line feed; none when `timeoutSeconds`
    /// passed or the output ended. A last line without a line feed counts once the output ends.
    std::optional<std::string> readLine(double timeoutSeconds);

    /// Takes lines until one is a JSON object that `accept` takes; none on timeout or end of output.
    std::optional<nlohmann::json> waitFor(const std::function<bool(const nlohmann::json&)>& accept,
                                          double timeoutSeconds);

    /// Every line of standard output read so far, taken or not.
    const std::vector<std::string>& lines() const { return lines_; }
    /// Standard output and standard error read so far, byte for byte.
    const std::string& output() const { return output_; }
    const std::string& errors() const { return errors_; }
    /// Whether standard output ended (or was closed) and every line of it was taken.
    bool outputEnded() const { return out_ < 0 && taken_ == lines_.size(); }

    /// Closes this end of standard output, as a reader that stops reading does.
    void closeOutput();

    /// Waits up to `timeoutSeconds` for the process to exit, reading its output meanwhile, then reads what is
    /// left in the pipes. Its exit status (128 + signal when a signal ended it), or -1 on timeout. The
    /// process is reaped only by `end`, so its id stays its own while the group is ended by that id.
    int wait(double timeoutSeconds);

    /// Sends `signal` to the process alone.
    void signal(int signal);

    /// Ends the whole process group: SIGTERM (with SIGCONT for stopped members) and up to `graceSeconds` for
    /// the process to exit, then SIGKILL; reaps the process. With no grace, SIGKILL at once. Only the first
    /// call acts.
    void end(double graceSeconds = 2);

private:
    bool pollExit();            // whether the process has exited, noting its status; does not reap
    void idle(double seconds);  // waits, reading output if a pipe is open
    void readFrom(int& fd, std::string& into);
    void closePipes();

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    std::string output_, errors_;
    size_t lineStart_ = 0;  // where the next line of output_ begins
    std::vector<std::string> lines_;
    size_t taken_ = 0;
    std::optional<int> exitStatus_;
    bool waited_ = false;  // a caller saw the exit status (it goes to the protocol log)
    bool reaped_ = false;
    ProtocolRecord protocol_;
};

}  // namespace support
