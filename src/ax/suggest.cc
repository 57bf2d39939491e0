#include "ax/suggest.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <utility>

#include "text/unicode.h"

namespace Suggest {
namespace {

constexpr double kContainmentFactor = 0.2;
constexpr double kScoreWithoutLabel = 0.5;
constexpr double kRolePenalty = 0.25;

bool isAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Gives each grapheme cluster of `a` and `b` a number, equal numbers for canonically equivalent clusters,
// so that the edit distance compares numbers. Plain ASCII clusters compare by bytes; only the distinct
// clusters beyond ASCII are compared with each other.
std::pair<std::vector<int>, std::vector<int>> clusterIds(const std::vector<std::string>& a,
                                                         const std::vector<std::string>& b) {
    std::map<std::string, int> ids;
    std::vector<std::pair<std::string, int>> wideRepresentatives;
    int next = 0;
    auto idOf = [&](const std::string& cluster) {
        if (auto known = ids.find(cluster); known != ids.end()) return known->second;
        int id = -1;
        if (!isAscii(cluster)) {
            for (const auto& [representative, representativeId] : wideRepresentatives) {
                if (text::canonicallyEqual(cluster, representative)) {
                    id = representativeId;
                    break;
                }
            }
            if (id < 0) wideRepresentatives.emplace_back(cluster, id = next++);
        } else {
            id = next++;
        }
        ids.emplace(cluster, id);
        return id;
    };
    std::pair<std::vector<int>, std::vector<int>> result;
    for (const std::string& cluster : a) result.first.push_back(idOf(cluster));
    for (const std::string& cluster : b) result.second.push_back(idOf(cluster));
    return result;
}

size_t editDistance(const std::vector<int>& a, const std::vector<int>& b) {
    std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// A text lower-cased and split into user-perceived characters, prepared once for many comparisons.
struct Folded {
    explicit Folded(std::string_view s) : lower(text::lowercased(s)), clusters(text::graphemeClusters(lower)) {}
    std::string lower;
    std::vector<std::string> clusters;
};

double distance(const Folded& a, const Folded& b) {
    if (a.clusters.empty() || b.clusters.empty()) return 1.0;
    const double shorter = static_cast<double>(std::min(a.clusters.size(), b.clusters.size()));
    const double longer = static_cast<double>(std::max(a.clusters.size(), b.clusters.size()));
    if (text::containsCanonically(b.lower, a.lower) || text::containsCanonically(a.lower, b.lower) ||
        text::canonicallyEqual(a.lower, b.lower))
        return kContainmentFactor * (1.0 - shorter / longer);

    const auto [idsA, idsB] = clusterIds(a.clusters, b.clusters);
    return static_cast<double>(editDistance(idsA, idsB)) / longer;
}

}  // namespace

std::vector<Candidate> candidates(const std::vector<AX::Element>& roots, long maxNodes) {
    std::vector<Candidate> found;
    std::deque<AX::Element> queue(roots.begin(), roots.end());
    long visited = 0;
    while (!queue.empty() && visited < maxNodes) {
        const AX::Element element = std::move(queue.front());
        queue.pop_front();
        const std::string role = AX::role(element).value_or("?");
        std::vector<AX::Element> children = AX::children(element);
        for (std::string& label : AX::labels(element, AX::readLabelSources(element), &children)) {
            if (text::graphemeCount(label) <= kLongestCandidateLabel) found.push_back({role, std::move(label)});
        }
        for (AX::Element& child : children) queue.push_back(std::move(child));
        ++visited;
    }
    return found;
}

double distance(std::string_view a, std::string_view b) {
    return distance(Folded(a), Folded(b));
}

std::string suggestionText(const Candidate& candidate) {
    return candidate.role + " \"" + candidate.label + "\"";
}

std::vector<std::string> closest(const std::optional<std::string>& role, const std::optional<std::string>& label,
                                 const std::vector<AX::Element>& in, int limit) {
    struct Scored {
        double score;
        std::string text;
    };
    std::vector<Scored> scored;
    std::set<std::string> seen;
    const std::optional<Folded> wanted = label ? std::optional<Folded>(Folded(*label)) : std::nullopt;
    for (const Candidate& candidate : candidates(in, kCandidateBudget)) {
        std::string suggestion = suggestionText(candidate);
        if (!seen.insert(suggestion).second) continue;
        double score = wanted ? distance(*wanted, Folded(candidate.label)) : kScoreWithoutLabel;
        if (role && candidate.role != *role && candidate.role != "AX" + *role) score += kRolePenalty;
        scored.push_back({score, std::move(suggestion)});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const Scored& x, const Scored& y) { return x.score < y.score; });

    std::vector<std::string> best;
    for (Scored& each : scored) {
        if (static_cast<long>(best.size()) >= limit) break;
        best.push_back(std::move(each.text));
    }
    return best;
}

std::vector<std::string> rankMenuTitles(std::vector<std::string> titles, std::string_view wanted) {
    const Folded folded(wanted);
    std::vector<std::pair<double, std::string>> ranked;
    for (std::string& title : titles) ranked.emplace_back(distance(folded, Folded(title)), std::move(title));
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> result;
    for (auto& [score, title] : ranked) result.push_back(std::move(title));
    return result;
}

std::string menuTitles(const AX::Element& menu, std::string_view wanted) {
    std::vector<std::string> titles;
    for (const AX::Element& child : AX::children(menu)) {
        for (std::string& label : AX::labels(child)) titles.push_back(std::move(label));
    }
    return shownMenuTitles(std::move(titles), wanted);
}

std::string shownMenuTitles(std::vector<std::string> titles, std::string_view wanted) {
    const std::vector<std::string> ranked = rankMenuTitles(std::move(titles), wanted);
    std::string shown;
    for (size_t i = 0; i < ranked.size() && i < kMenuTitlesShown; ++i) {
        if (i > 0) shown += ", ";
        shown += "\"" + ranked[i] + "\"";
    }
    return shown;
}

}  // namespace Suggest
