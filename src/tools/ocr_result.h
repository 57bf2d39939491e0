#pragma once
// The entries of the ocr result: one per image, readable or failed, with line objects whose boxes are
// fractions of the image measured from its top-left corner.

#include <string>
#include <vector>

#include "base/json_line.h"
#include "platform/text_recognizer.h"

namespace tools {

/// The error of an image that could not be loaded.
inline const std::string kUnreadableImage = "unreadable image";

/// A line object: "text", "confidence" (0 to 1) and the box "x", "y", "w", "h" as fractions of an image of
/// `widthPixels` × `heightPixels`.
Out::Message lineObject(const platform::RecognizedLine& line, int widthPixels, int heightPixels);

/// The entry of a readable image: "image" (the path as the job wrote it), "width", "height", "lines".
Out::Message readableEntry(const std::string& path, int widthPixels, int heightPixels,
                           const std::vector<platform::RecognizedLine>& lines);

/// The entry of an image that failed: "image", "error" and an empty "lines".
Out::Message failedEntry(const std::string& path, const std::string& error);

}  // namespace tools
