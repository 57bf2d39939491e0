#pragma once
// Joining texts with a separator, for messages that list names.

#include <string>
#include <vector>

namespace text {

/// `parts` in order with `separator` between each two; the empty string for no parts.
inline std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string result;
    for (size_t i = 0; i < parts.size(); ++i) result += (i ? separator : "") + parts[i];
    return result;
}

}  // namespace text
