#pragma once
// Applications the step tests start themselves: a private home and XDG folders, output kept in a file, and
// the process ended when the test is done.

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/tool_process.h"

namespace stepstest {

/// A private HOME with its own XDG config, data, cache and state folders, so that an application's settings
/// from an earlier run never reach the next one.
class PrivateHome {
public:
    PrivateHome();
    const std::string& path() const { return dir_.path(); }
    /// HOME and the XDG variables pointing inside the folder, and GSettings kept in a file there.
    std::map<std::string, std::string> environment() const;
    /// How to start an application with this home: its environment, standard output kept in the file
    /// `outputName` in the home and standard error beside it (`outputName`.err).
    support::ChildOptions appOptions(const std::string& outputName) const;
    /// Writes `job` as a job file and runs the tool on it with this environment, plus `extra`.
    support::ToolRun run(const nlohmann::json& job, double timeoutSeconds = 120,
                         const std::map<std::string, std::string>& extra = {}) const;
    /// Starts the tool on `job` with this environment and returns at once, so that a test can act while it
    /// records (once the progress line it waits for has come).
    std::unique_ptr<support::ChildProcess> start(const nlohmann::json& job) const;
    /// Ends (SIGTERM) every process running with this home: the programs the tool launched, which outlive
    /// its run, and whatever they started.
    void endPrograms() const;

private:
    support::TempDir dir_;
};

/// A capture job for a third-party application `app` recording to `out` while it performs `steps`, with
/// the short settle and tail the step tests use.
nlohmann::json appJob(const std::string& app, const std::string& out, const nlohmann::json& steps);

/// The number of frames of the movie's video stream, as ffprobe counts them (0 when it cannot be read).
int movieFrames(const std::string& path);

/// What a run wrote on both streams, for a failed assertion's message.
std::string describe(const support::ToolRun& run);

/// An application started with a private home (ended with its process group when the object goes), once its
/// window (an object of AT-SPI role `windowRole`) is on the accessibility bus and an X11 window of its process
/// is mapped; `ready` says whether both came within 30 s.
struct StartedApp {
    StartedApp(const PrivateHome& home, const std::vector<std::string>& argv, const std::string& windowRole);
    support::ChildProcess process;
    bool ready = false;
};

/// The progress line with "message" `message` in the run's output, or null.
nlohmann::json progressLine(const support::ToolRun& run, const std::string& message);

/// The run's output lines parsed.
std::vector<nlohmann::json> jsonLines(const support::ToolRun& run);

}  // namespace stepstest
