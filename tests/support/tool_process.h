#pragma once
// Runs the built tool as a child process and collects what it wrote, for process-level tests.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace support {

struct ToolRun {
    std::string out;
    std::string err;
    int status = -1;  // exit status, or 128 + signal
    bool timedOut = false;

    /// Standard output split into lines (without their line feeds).
    std::vector<std::string> lines() const;
    /// The last line of standard output, parsed.
    nlohmann::json last() const;
};

struct ToolOptions {
    /// Variables removed from the environment the tool inherits.
    std::vector<std::string> unset;
    /// Variables set or replaced.
    std::map<std::string, std::string> set;
    std::optional<std::string> workingDirectory;
    double timeoutSeconds = 60;
};

/// The path of the built quorrel-capture.
std::string toolPath();

/// Runs quorrel-capture with `args` (the program path is added) and waits for it; killed (with whatever it
/// started in its process group) when it runs past the timeout.
ToolRun runTool(const std::vector<std::string>& args, const ToolOptions& options = {});

/// Runs any program, for helpers such as dbus-send.
ToolRun runProgram(const std::vector<std::string>& argv, const ToolOptions& options = {});

/// A fresh directory under the temporary directory, removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    /// Writes `contents` to `name` inside the directory and returns the file's path.
    std::string write(const std::string& name, const std::string& contents) const;

private:
    std::string path_;
};

}  // namespace support
