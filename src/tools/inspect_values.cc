#include "tools/inspect_values.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tools {
namespace {

std::string unicodeEscape(unsigned codePoint) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", codePoint);
    return buffer;
}

}  // namespace

long nodeLimit(const std::optional<int64_t>& maxNodes) {
    if (!maxNodes) return kDefaultMaxNodes;
    return static_cast<long>(std::clamp<int64_t>(*maxNodes, kFewestMaxNodes, kMostMaxNodes));
}

long depthLimit(const std::optional<int64_t>& maxDepth) {
    if (!maxDepth) return kDefaultMaxDepth;
    return static_cast<long>(std::clamp<int64_t>(*maxDepth, kFewestMaxDepth, kMostMaxDepth));
}

std::string quotedTitle(const std::string& title) {
    std::string out = "\"";
    for (size_t i = 0; i < title.size(); ++i) {
        const auto byte = static_cast<unsigned char>(title[i]);
        const auto next = i + 1 < title.size() ? static_cast<unsigned char>(title[i + 1]) : 0u;
        const auto third = i + 2 < title.size() ? static_cast<unsigned char>(title[i + 2]) : 0u;
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            out += unicodeEscape(byte);
        } else if (byte == 0xc2 && next >= 0x80 && next <= 0x9f) {  // C1 controls, U+0080 to U+009F
            out += unicodeEscape(next);
            ++i;
        } else if (byte == 0xe2 && next == 0x80 && (third == 0xa8 || third == 0xa9)) {  // U+2028, U+2029
            out += unicodeEscape(0x2000u + (third - 0x80u));
            i += 2;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out + "\"";
}

std::string noWindowMessage(const std::string& app, const std::optional<std::string>& wantedTitle,
                            const std::vector<std::string>& windowTitles) {
    std::string message = "no window";
    if (wantedTitle) message += " titled like \"" + *wantedTitle + "\"";
    message += " for " + app + "; windows: [";
    for (size_t i = 0; i < windowTitles.size(); ++i) message += (i ? ", " : "") + quotedTitle(windowTitles[i]);
    return message + "]";
}

std::string stoppedAnsweringMessage(const std::string& app, int pid) {
    return app + " (process " + std::to_string(pid) +
           ") stopped answering accessibility requests while it was inspected; its dump would be incomplete";
}

}  // namespace tools
