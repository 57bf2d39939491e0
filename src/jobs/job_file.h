#pragma once
// The one way a job file is read and refused.

#include <optional>
#include <string>

#include "jobs/job.h"
#include "jobs/tool_jobs.h"

namespace jobs {

/// The bytes of the file at `path`, or nothing when there is no readable regular file there.
std::optional<std::string> readFileBytes(const std::string& path);

/// Parses `bytes` as one JSON text (UTF-8, an optional byte-order mark); throws DecodeError otherwise.
/// When a key repeats within an object, its last value wins.
Json parseDocument(const std::string& bytes);

/// Ends the process with "cannot read job <path>" and the code "bad_request".
[[noreturn]] void failUnreadableJob(const std::string& path);

/// Reads and decodes the job at `path` with `decode`; on any failure ends the process with
/// "cannot read job <path>" and the code "bad_request".
template <typename Decode>
auto readJob(const std::string& path, Decode decode) -> decltype(decode(Json())) {
    if (const auto bytes = readFileBytes(path)) {
        try {
            return decode(parseDocument(*bytes));
        } catch (const DecodeError&) {
        } catch (const Json::exception&) {
        }
    }
    failUnreadableJob(path);
}

inline Job readCaptureJob(const std::string& path) { return readJob(path, decodeJob); }
inline InspectJob readInspectJob(const std::string& path) { return readJob(path, decodeInspectJob); }
inline OCRJob readOCRJob(const std::string& path) { return readJob(path, decodeOCRJob); }

}  // namespace jobs
