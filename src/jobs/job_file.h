#pragma once
// The one way a job file is read and refused.

#include <cstddef>
#include <optional>
#include <string>

#include "jobs/job.h"
#include "jobs/tool_jobs.h"

namespace jobs {

/// The largest job file read: real jobs are a few kilobytes, and a larger file is refused before it is
/// parsed, so that a huge document cannot take seconds and gigabytes to refuse.
inline constexpr size_t kMaximumJobBytes = 16 * 1024 * 1024;

/// The deepest nesting of arrays and objects a job document may have (real jobs nest four deep).
inline constexpr size_t kMaximumJobNesting = 64;

/// The bytes of the file at `path`, or nothing when there is no readable regular file there or it holds
/// more than `maximumBytes`. Never blocks on a FIFO or a device.
std::optional<std::string> readFileBytes(const std::string& path, size_t maximumBytes = kMaximumJobBytes);

/// Parses `bytes` as one JSON text (UTF-8, an optional byte-order mark, nested at most
/// kMaximumJobNesting deep, no NUL byte anywhere); throws DecodeError otherwise. When a key repeats
/// within an object, its last value wins.
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
