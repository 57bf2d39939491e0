#pragma once
// A record of what the tool said on each run, for checking every line the tests see against the output
// schema and every job they write against the job schemas.
//
// Each run of a quorrel-capture executable by the test support (runTool, runProgram, LiveProcess) appends one
// JSON line to the protocol log: the arguments, the job file's bytes (read when the run starts, before a test
// removes its temporary folder), everything the tool wrote on standard output and its exit status. The log is
// the file named by QC_PROTOCOL_LOG, or the build tree's default when that is unset; an empty QC_PROTOCOL_LOG
// turns the log off.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace support {

/// The protocol log's path, or an empty string when there is none.
std::string protocolLogPath();

/// One run of the tool, appended to the protocol log when it finishes. Runs of other programs are not kept.
class ProtocolRecord {
public:
    /// Starts the record of `argv`, run in `workingDirectory` (the test's own when absent).
    ProtocolRecord(const std::vector<std::string>& argv, const std::optional<std::string>& workingDirectory = {});

    /// Appends the record with the tool's standard output (lines ending in line feeds) and its exit status, or
    /// -1 when the test did not wait for it. Only the first call writes.
    void finish(const std::string& standardOutput, int status);

private:
    std::optional<nlohmann::json> record_;
};

}  // namespace support
