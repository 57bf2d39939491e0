#include "text/unicode.h"

#include <dlfcn.h>
#include <unicode/ubrk.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/uvernum.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <type_traits>

namespace text {
namespace {

// The name a declaration of ICU's headers stands for: its functions carry the library's version
// (u_strToLower is u_strToLower_72), as the headers the tool is built with say.
#define QC_ICU_NAME(symbol) QC_ICU_SPELLED(symbol)
#define QC_ICU_SPELLED(symbol) #symbol

// ICU's common library, opened on first use rather than at start: most commands never measure or compare
// text, and mapping it cost every start of the tool about a millisecond. Its C interface, which the
// library's version names, is the one looked up.
struct Icu {
    decltype(&u_strFromUTF8WithSub) fromUtf8 = nullptr;
    decltype(&u_strToUTF8WithSub) toUtf8 = nullptr;
    decltype(&u_strToLower) toLower = nullptr;
    decltype(&unorm2_getNFDInstance) nfd = nullptr;
    decltype(&unorm2_normalize) normalize = nullptr;
    decltype(&ubrk_open) openBreaks = nullptr;
    decltype(&ubrk_setText) setBreakText = nullptr;
    decltype(&ubrk_first) firstBreak = nullptr;
    decltype(&ubrk_next) nextBreak = nullptr;
    decltype(&ubrk_close) closeBreaks = nullptr;
};

// The library, loaded once; throws when it cannot be (a broken installation), and the next call tries again.
const Icu& icu() {
    static const Icu loaded = [] {
        constexpr const char* kLibrary = "libicuuc.so." QC_ICU_NAME(U_ICU_VERSION_MAJOR_NUM);
        void* library = dlopen(kLibrary, RTLD_LAZY | RTLD_LOCAL);
        if (!library) {
            const char* reason = dlerror();
            throw std::runtime_error(std::string("cannot load the Unicode library: ") + (reason ? reason : kLibrary));
        }
        Icu functions;
        const char* missing = nullptr;
        const auto find = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            if (!function && !missing) missing = name;
        };
        find(functions.fromUtf8, QC_ICU_NAME(u_strFromUTF8WithSub));
        find(functions.toUtf8, QC_ICU_NAME(u_strToUTF8WithSub));
        find(functions.toLower, QC_ICU_NAME(u_strToLower));
        find(functions.nfd, QC_ICU_NAME(unorm2_getNFDInstance));
        find(functions.normalize, QC_ICU_NAME(unorm2_normalize));
        find(functions.openBreaks, QC_ICU_NAME(ubrk_open));
        find(functions.setBreakText, QC_ICU_NAME(ubrk_setText));
        find(functions.firstBreak, QC_ICU_NAME(ubrk_first));
        find(functions.nextBreak, QC_ICU_NAME(ubrk_next));
        find(functions.closeBreaks, QC_ICU_NAME(ubrk_close));
        if (missing) throw std::runtime_error(std::string("cannot load the Unicode library: ") + kLibrary + " has no " + missing);
        return functions;
    }();
    return loaded;
}

// Fills a UTF-16 result through `write(buffer, capacity, status)`, which returns the length it needs: a
// first try at `guess` units, a second at the length asked for when that was too short.
template <typename Write>
std::u16string written(int32_t guess, Write write) {
    std::u16string out(static_cast<size_t>(guess), u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = write(out.data(), guess, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<size_t>(length), u'\0');
        status = U_ZERO_ERROR;
        length = write(out.data(), length, &status);
    }
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

// `s` in UTF-16; each invalid UTF-8 sequence reads as U+FFFD.
std::u16string fromUtf8(std::string_view s) {
    const Icu& library = icu();
    // A UTF-8 byte never gives more than one UTF-16 unit.
    return written(static_cast<int32_t>(s.size()), [&](char16_t* buffer, int32_t capacity, UErrorCode* status) {
        int32_t length = 0;
        library.fromUtf8(buffer, capacity, &length, s.data(), static_cast<int32_t>(s.size()), 0xFFFD, nullptr,
                         status);
        return length;
    });
}

std::string toUtf8(std::u16string_view s) {
    std::string out(s.size() * 3, '\0');  // a UTF-16 unit never gives more than three UTF-8 bytes
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    icu().toUtf8(out.data(), static_cast<int32_t>(out.size()), &length, s.data(), static_cast<int32_t>(s.size()),
                 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

struct BreaksCloser {
    void operator()(UBreakIterator* breaks) const { icu().closeBreaks(breaks); }
};

// One grapheme iterator per thread, created once: creating one costs far more than a short walk.
UBreakIterator* graphemeIterator(const std::u16string& s) {
    thread_local std::unique_ptr<UBreakIterator, BreaksCloser> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UBreakIterator, BreaksCloser> created(icu().openBreaks(UBRK_CHARACTER, "", nullptr, 0, &status));
        if (U_FAILURE(status)) created.reset();
        return created;
    }();
    if (!iterator) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    icu().setBreakText(iterator.get(), s.data(), static_cast<int32_t>(s.size()), &status);
    return U_FAILURE(status) ? nullptr : iterator.get();
}

// Boundaries of the grapheme clusters of `s`, as UTF-16 offsets, 0 and the end included.
std::vector<int32_t> graphemeBoundaries(const std::u16string& s) {
    std::vector<int32_t> boundaries;
    const auto length = static_cast<int32_t>(s.size());
    UBreakIterator* iterator = graphemeIterator(s);
    if (!iterator) {  // code points, when no iterator could be made
        for (int32_t i = 0;;) {
            boundaries.push_back(i);
            if (i >= length) break;
            U16_FWD_1(s.data(), i, length);
        }
        return boundaries;
    }
    for (int32_t at = icu().firstBreak(iterator); at != UBRK_DONE; at = icu().nextBreak(iterator))
        boundaries.push_back(at);
    return boundaries;
}

std::u16string decomposed(std::string_view s) {
    std::u16string source = fromUtf8(s);
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = icu().nfd(&status);
    if (U_FAILURE(status)) return source;
    const auto length = static_cast<int32_t>(source.size());
    std::u16string result = written(length * 3 + 8, [&](char16_t* buffer, int32_t capacity, UErrorCode* status) {
        return icu().normalize(nfd, source.data(), length, buffer, capacity, status);
    });
    return result.empty() && !source.empty() ? source : result;
}

}  // namespace

size_t graphemeCount(std::string_view s) {
    if (s.empty()) return 0;
    return graphemeBoundaries(fromUtf8(s)).size() - 1;
}

std::string graphemePrefix(std::string_view s, size_t count) {
    const std::u16string unicode = fromUtf8(s);
    const auto boundaries = graphemeBoundaries(unicode);
    if (count + 1 >= boundaries.size()) return toUtf8(unicode);
    return toUtf8(std::u16string_view(unicode).substr(0, static_cast<size_t>(boundaries[count])));
}

std::vector<std::string> graphemeClusters(std::string_view s) {
    const std::u16string unicode = fromUtf8(s);
    const auto boundaries = graphemeBoundaries(unicode);
    std::vector<std::string> clusters;
    for (size_t i = 1; i < boundaries.size(); ++i) {
        const auto from = static_cast<size_t>(boundaries[i - 1]);
        clusters.push_back(toUtf8(std::u16string_view(unicode).substr(from, static_cast<size_t>(boundaries[i]) - from)));
    }
    return clusters;
}

std::string lowercased(std::string_view s) {
    const std::u16string unicode = fromUtf8(s);
    const auto length = static_cast<int32_t>(unicode.size());
    // The root locale's full mapping: the same whatever the user's language.
    return toUtf8(written(length + 8, [&](char16_t* buffer, int32_t capacity, UErrorCode* status) {
        return icu().toLower(buffer, capacity, unicode.data(), length, "", status);
    }));
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return decomposed(a) == decomposed(b);
}

bool containsCanonically(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return false;
    const std::u16string whole = decomposed(haystack);
    const std::u16string part = decomposed(needle);
    if (part.empty()) return false;
    const auto boundaries = graphemeBoundaries(whole);
    const std::set<int32_t> isBoundary(boundaries.begin(), boundaries.end());
    for (size_t at = whole.find(part); at != std::u16string::npos; at = whole.find(part, at + 1)) {
        const auto start = static_cast<int32_t>(at);
        if (isBoundary.count(start) && isBoundary.count(start + static_cast<int32_t>(part.size()))) return true;
    }
    return false;
}

}  // namespace text
