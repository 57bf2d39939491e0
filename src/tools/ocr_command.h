#pragma once
// The `ocr` command.

#include <string>

namespace tools {

/// Reads the OCR job at `path` and writes the lines of text found in each image.
void runOCR(const std::string& path);

}  // namespace tools
