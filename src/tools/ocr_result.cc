#include "tools/ocr_result.h"

#include <algorithm>

namespace tools {

Out::Message lineObject(const platform::RecognizedLine& line, int widthPixels, int heightPixels) {
    const double width = widthPixels > 0 ? widthPixels : 1;
    const double height = heightPixels > 0 ? heightPixels : 1;
    const float confidence = std::clamp(line.confidence, 0.0f, 1.0f);
    return {{"text", line.text},           {"confidence", static_cast<double>(confidence)},
            {"x", line.box.left / width},  {"y", line.box.top / height},
            {"w", line.box.width / width}, {"h", line.box.height / height}};
}

Out::Message readableEntry(const std::string& path, int widthPixels, int heightPixels,
                           const std::vector<platform::RecognizedLine>& lines) {
    Out::Message objects = Out::Message::array();
    for (const auto& line : lines) objects.push_back(lineObject(line, widthPixels, heightPixels));
    return {{"image", path}, {"width", widthPixels}, {"height", heightPixels}, {"lines", objects}};
}

Out::Message failedEntry(const std::string& path, const std::string& error) {
    return {{"image", path}, {"error", error}, {"lines", Out::Message::array()}};
}

}  // namespace tools
