#include "text/unicode.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <memory>
#include <set>

namespace text {
namespace {

icu::UnicodeString fromUtf8(std::string_view s) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

// One grapheme iterator per thread, created once: creating one costs far more than a short walk.
icu::BreakIterator* graphemeIterator(const icu::UnicodeString& s) {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) created.reset();
        return created;
    }();
    if (iterator) iterator->setText(s);
    return iterator.get();
}

// Boundaries of the grapheme clusters of `s`, as UTF-16 offsets, 0 and the end included.
std::vector<int32_t> graphemeBoundaries(const icu::UnicodeString& s) {
    std::vector<int32_t> boundaries;
    icu::BreakIterator* iterator = graphemeIterator(s);
    if (!iterator) {
        for (int32_t i = 0; i <= s.length(); i = s.moveIndex32(i, 1)) {
            boundaries.push_back(i);
            if (i == s.length()) break;
        }
        return boundaries;
    }
    for (int32_t at = iterator->first(); at != icu::BreakIterator::DONE; at = iterator->next())
        boundaries.push_back(at);
    return boundaries;
}

icu::UnicodeString decomposed(std::string_view s) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString source = fromUtf8(s);
    if (U_FAILURE(status)) return source;
    icu::UnicodeString result = nfd->normalize(source, status);
    return U_FAILURE(status) ? source : result;
}

}  // namespace

size_t graphemeCount(std::string_view s) {
    if (s.empty()) return 0;
    return graphemeBoundaries(fromUtf8(s)).size() - 1;
}

std::string graphemePrefix(std::string_view s, size_t count) {
    const icu::UnicodeString unicode = fromUtf8(s);
    const auto boundaries = graphemeBoundaries(unicode);
    if (count + 1 >= boundaries.size()) return toUtf8(unicode);
    return toUtf8(unicode.tempSubStringBetween(0, boundaries[count]));
}

std::vector<std::string> graphemeClusters(std::string_view s) {
    const icu::UnicodeString unicode = fromUtf8(s);
    const auto boundaries = graphemeBoundaries(unicode);
    std::vector<std::string> clusters;
    for (size_t i = 1; i < boundaries.size(); ++i)
        clusters.push_back(toUtf8(unicode.tempSubStringBetween(boundaries[i - 1], boundaries[i])));
    return clusters;
}

std::string lowercased(std::string_view s) {
    icu::UnicodeString unicode = fromUtf8(s);
    unicode.toLower(icu::Locale::getRoot());
    return toUtf8(unicode);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return decomposed(a) == decomposed(b);
}

bool containsCanonically(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return false;
    const icu::UnicodeString whole = decomposed(haystack);
    const icu::UnicodeString part = decomposed(needle);
    if (part.isEmpty()) return false;
    const auto boundaries = graphemeBoundaries(whole);
    const std::set<int32_t> isBoundary(boundaries.begin(), boundaries.end());
    for (int32_t at = whole.indexOf(part); at >= 0; at = whole.indexOf(part, at + 1)) {
        if (isBoundary.count(at) && isBoundary.count(at + part.length())) return true;
    }
    return false;
}

}  // namespace text
