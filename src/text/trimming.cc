#include "text/trimming.h"

#include <string_view>

namespace text {
namespace {

// The length in bytes of the space separator or tab that starts `s` at `at`, or 0 when none does.
size_t spaceAt(const std::string& s, size_t at) {
    static const char* const kSpaces[] = {
        " ", "\t", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005",
        "\u2006", "\u2007", "\u2008", "\u2009", "\u200A", "\u202F", "\u205F", "\u3000",
    };
    for (const char* space : kSpaces) {
        const std::string_view candidate(space);
        if (s.compare(at, candidate.size(), candidate) == 0) return candidate.size();
    }
    return 0;
}

// The length of the space separator or tab that ends `s` before `end`, or 0.
size_t spaceBefore(const std::string& s, size_t end) {
    for (size_t length = 1; length <= 3 && length <= end; ++length)
        if (spaceAt(s, end - length) == length) return length;
    return 0;
}

}  // namespace

std::string withoutSpacesAtEnds(const std::string& s) {
    size_t begin = 0;
    while (begin < s.size()) {
        const size_t length = spaceAt(s, begin);
        if (length == 0) break;
        begin += length;
    }
    size_t end = s.size();
    while (end > begin) {
        const size_t length = spaceBefore(s, end);
        if (length == 0) break;
        end -= length;
    }
    return s.substr(begin, end - begin);
}

}  // namespace text
