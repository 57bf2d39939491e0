#pragma once
// Well-formed UTF-8: every line the tool writes, on either stream, is valid UTF-8 whatever it quotes.

#include <cstddef>
#include <string>
#include <string_view>

namespace Out {

/// U+FFFD, which stands for each byte that is not part of a well-formed sequence.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

/// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one.
size_t utf8SequenceLength(std::string_view s);

/// `text` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace Out
