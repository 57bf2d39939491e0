#pragma once
// What the fault tests share: a recording of the animated test window run in the background, the checks
// that the tool left nothing behind, and small filesystems made for the test.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "movie_probe.h"
#include "support/child_process.h"
#include "support/tool_process.h"
#include "test_window_process.h"

namespace faults {

/// The tool started in the background on a job, marked so that every process it starts can be found.
class ToolRecording {
public:
    /// Writes `job` into a folder of its own and starts the tool on it with `environment` added.
    explicit ToolRecording(const nlohmann::json& job, const std::map<std::string, std::string>& environment = {});

    support::ChildProcess& process() { return *process_; }
    /// Waits for the "Recording" progress line of a region capture; false when it does not come.
    bool waitUntilRecording(double timeoutSeconds = 60);
    /// Waits for the end; the exit status (128 + signal when killed), -1 on timeout.
    int wait(double timeoutSeconds = 60);
    /// The last line written, parsed (null when none).
    nlohmann::json lastLine() const;
    /// Processes still running that the tool started, or the tool itself.
    std::vector<pid_t> leftProcesses() const;

private:
    support::TempDir files_;  // the job and what the tool wrote on standard error
    std::string marker_;
    std::unique_ptr<support::ChildProcess> process_;
};

/// A region-capture job of the whole of `window` into `out`.
nlohmann::json regionJob(const capture_test::TestWindowProcess& window, const std::string& out, int fps,
                         double durationSeconds);

/// The names in `folder` (hidden ones included), sorted.
std::vector<std::string> namesIn(const std::string& folder);

/// A tmpfs mounted for the test and unmounted when it goes; `mounted()` is false where mounting is not
/// allowed (not root, or no mount namespace rights).
class SmallFilesystem {
public:
    SmallFilesystem(const std::string& where, const std::string& options, bool readOnly = false);
    ~SmallFilesystem();
    bool mounted() const { return mounted_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool mounted_ = false;
};

/// Fills the filesystem holding `folder` to the last byte with a file named `name`.
void fill(const std::string& folder, const std::string& name);

}  // namespace faults
