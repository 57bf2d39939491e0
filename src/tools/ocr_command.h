#pragma once
// The `ocr` command.

#include <string>

#include "base/json_line.h"
#include "jobs/tool_jobs.h"

namespace tools {

/// Reads the OCR job at `path` and writes the lines of text found in each image.
void runOCR(const std::string& path);

/// One entry per image of `job`, in order, each preceded by its progress line "Reading text i/n". A bad
/// image gets a failed entry and the next one is read; nothing here throws.
Out::Message ocrEntries(const jobs::OCRJob& job);

}  // namespace tools
