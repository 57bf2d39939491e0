#pragma once
// Unicode rules the tool follows wherever it measures or compares text: lengths and prefixes count
// user-perceived characters (extended grapheme clusters), and strings that are canonically equivalent
// are equal. Invalid UTF-8 is read as U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace text {

/// The number of extended grapheme clusters in `s`.
size_t graphemeCount(std::string_view s);

/// The first `count` grapheme clusters of `s` (all of it when it has fewer).
std::string graphemePrefix(std::string_view s, size_t count);

/// `s` split into its grapheme clusters, in order.
std::vector<std::string> graphemeClusters(std::string_view s);

/// `s` with the full, locale-independent lower-case mapping ("İ" becomes "i̇", "ẞ" becomes "ß").
std::string lowercased(std::string_view s);

/// True when `a` and `b` are canonically equivalent ("é" precomposed equals "e" + U+0301).
bool canonicallyEqual(std::string_view a, std::string_view b);

/// True when `needle` occurs in `haystack` as a run of whole grapheme clusters, up to canonical
/// equivalence. An empty needle is found nowhere.
bool containsCanonically(std::string_view haystack, std::string_view needle);

}  // namespace text
