#pragma once
// The inspect and OCR job documents.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/json_fields.h"

namespace jobs {

struct InspectJob {
    std::string app;
    std::optional<std::string> windowTitle;
    std::optional<int64_t> maxNodes;
    std::optional<int64_t> maxDepth;
    std::optional<bool> launch;
};

struct OCRJob {
    std::vector<std::string> images;
    std::optional<std::vector<std::string>> languages;
    std::optional<bool> fast;
};

InspectJob decodeInspectJob(const Json& value);
OCRJob decodeOCRJob(const Json& value);

}  // namespace jobs
