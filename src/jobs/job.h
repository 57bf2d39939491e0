#pragma once
// The capture job document: what `run` is asked to do.
//
// Plain values created by the decoder and never changed. The document applies no defaults: absent
// optional fields stay absent and the Parts that use them decide what absence means.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/json_fields.h"
#include "platform/geometry.h"

namespace jobs {

/// A rectangle in points: origin and size taken over unchanged, negative sizes included.
using Rect = platform::Rect;
using Size = platform::Size;

/// A rectangle to record inside a window of a process.
struct Region {
    Rect rect;
    std::optional<int32_t> pid;
    std::optional<Rect> windowFrame;
};

/// One scripted step. `action` outside the step vocabulary is accepted here and refused when performed.
struct Step {
    std::string action;
    std::optional<std::string> role;
    std::optional<std::string> label;
    std::optional<std::string> text;
    std::optional<std::string> value;
    std::optional<std::string> key;
    std::optional<double> x;
    std::optional<double> y;
    std::optional<double> ms;
    std::optional<std::vector<std::string>> path;
};

struct Job {
    std::optional<std::string> app;
    std::optional<std::string> windowTitle;
    std::optional<Size> windowSize;
    std::optional<std::vector<Step>> steps;
    std::string out;
    std::optional<int64_t> fps;
    std::optional<double> settleMs;
    std::optional<double> tailMs;
    std::optional<bool> recordUser;
    std::optional<double> durationSec;
    std::optional<std::string> stopFile;
    std::optional<bool> launch;
    std::optional<Region> region;
    std::optional<std::string> startedFile;
};

Rect decodeRect(const Json& value);
Size decodeSize(const Json& value);
Region decodeRegion(const Json& value);
Step decodeStep(const Json& value);
Job decodeJob(const Json& value);

}  // namespace jobs
