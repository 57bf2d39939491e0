#pragma once
// What the run command's desktop tests share: the fixture application's desktop entry, jobs, the tool run in
// the background, synthesised clicks and movie probes.

#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/tool_process.h"

namespace runtest {

/// The fixture's desktop id, as its toolkit reports it.
inline constexpr const char* kFixtureId = "org.quorrel.CaptureFixture";

/// A folder of data for the tool: an applications folder holding the fixture's entry (named "Quorrel
/// Fixture Entry", its command giving the window `title`), jobs and output.
class RunFolder {
public:
    explicit RunFolder(const std::string& title = "Launched Fixture");
    const std::string& path() const { return dir_.path(); }
    std::string entryPath() const { return path() + "/data/applications/" + kFixtureId + ".desktop"; }
    /// The environment the tool runs with: XDG_DATA_HOME pointing at the folder's data.
    std::map<std::string, std::string> environment() const;
    /// Writes a desktop entry `id` with the lines `body` (after Type=Application) to the applications
    /// folder; returns its path.
    std::string addEntry(const std::string& id, const std::string& body) const;
    /// Ends the applications the tool started for this folder (they carry its environment).
    void endApplications() const;
    /// Writes `job` as a job file and returns its path.
    std::string job(const nlohmann::json& job, const std::string& name = "job.json") const;
    /// Runs the tool on `job` and waits for it.
    support::ToolRun run(const nlohmann::json& job, double timeoutSeconds = 90) const;
    /// Starts the tool on `job` in the background, reading its lines as they come.
    std::unique_ptr<support::ChildProcess> start(const nlohmann::json& job) const;

private:
    support::TempDir dir_;
};

/// The pid of the running fixture whose command line carries `title`; 0 when none runs.
pid_t fixtureWithTitle(const std::string& title);
/// How many fixtures with `title` run.
int countFixturesWithTitle(const std::string& title);
/// Ends every fixture with `title`.
void endFixturesWithTitle(const std::string& title);

/// A left click at the screen point, through XTEST.
void clickAt(double x, double y);

/// The movie's first video stream and format as ffprobe reads them: "codec_name", "width", "height",
/// "nb_read_frames" (frames decoded), "duration" (of the container, seconds).
nlohmann::json probeMovie(const std::string& path);

/// Expects the client area `client` ({x, y, width, height}, as the fixture reports it) to lie inside the
/// window-manager frame `frame`, with a title bar above it (under openbox).
void expectInside(const nlohmann::json& client, const nlohmann::json& frame);

/// The progress line with "message" `message` among `run`'s lines, or null.
nlohmann::json progressLine(const support::ToolRun& run, const std::string& message);

}  // namespace runtest
