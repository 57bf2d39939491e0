#pragma once
// Closest-match suggestions: what a window offers that comes nearest to a target that was not found, and
// the ranking of menu titles when a menu path breaks.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ax/ax.h"

namespace Suggest {

/// Elements visited when gathering candidates.
inline constexpr long kCandidateBudget = 6000;

/// Labels with more user-perceived characters than this are not candidates.
inline constexpr size_t kLongestCandidateLabel = 120;

/// Suggestions both callers ask for.
inline constexpr int kDefaultLimit = 6;

/// Menu titles shown when a menu path breaks.
inline constexpr size_t kMenuTitlesShown = 8;

/// One label of one element, with the element's role ("?" when it has none).
struct Candidate {
    std::string role;
    std::string label;
    bool operator==(const Candidate&) const = default;
};

/// Every (role, label) pair of the elements reached breadth first from `roots`, visiting at most `maxNodes`
/// elements, in visiting and label order; repeats are kept.
std::vector<Candidate> candidates(const std::vector<AX::Element>& roots, long maxNodes = kCandidateBudget);

/// Distance between two texts from 0 (same, ignoring case) to 1: containment scores below 0.2, anything
/// else the edit distance over user-perceived characters divided by the longer length. Empty gives 1.
double distance(std::string_view a, std::string_view b);

/// The suggestion text of a candidate: the role, a space and the label in double quotes.
std::string suggestionText(const Candidate& candidate);

/// The `limit` suggestion texts from `in` that come closest to the wanted role and label, best first,
/// each text once; equal scores keep tree order.
std::vector<std::string> closest(const std::optional<std::string>& role, const std::optional<std::string>& label,
                                 const std::vector<AX::Element>& in, int limit = kDefaultLimit);

/// `titles` ordered by distance from `wanted`, nearest first; equal distances keep their order.
std::vector<std::string> rankMenuTitles(std::vector<std::string> titles, std::string_view wanted);

/// `titles` ranked by distance from `wanted`, the first eight shown each in double quotes and joined by ", ".
std::string shownMenuTitles(std::vector<std::string> titles, std::string_view wanted);

/// The labels of the children of `menu`, ranked by distance from `wanted`, the first eight shown each in
/// double quotes and joined by ", ".
std::string menuTitles(const AX::Element& menu, std::string_view wanted);

}  // namespace Suggest
