#include "ax/search.h"

#include <deque>

#include "platform/clock.h"
#include "platform/services.h"
#include "text/unicode.h"

namespace AX {

bool matchesRole(const Element& element, const std::string& wanted) {
    // The subrole is read only when the role decides nothing; it is never compared in the "AX" form.
    const std::optional<std::string> itsRole = role(element);
    if (itsRole && (*itsRole == wanted || *itsRole == "AX" + wanted)) return true;
    return string(element, "AXSubrole") == wanted;
}

namespace {

// The search of `find`, an element's role accepted when `roleMatches` says so.
template <typename RoleMatches>
std::optional<Element> findWhere(const Element& in, RoleMatches roleMatches, const std::optional<std::string>& label,
                                 long maxNodes) {
    if (label && label->empty()) return std::nullopt;
    const std::optional<std::string> wanted = label ? std::optional(text::lowercased(*label)) : std::nullopt;

    std::deque<Element> queue{in};
    std::optional<Element> partial;
    long examined = 0;
    bool atRoot = true;
    while (!queue.empty() && examined < maxNodes) {
        const Element element = std::move(queue.front());
        queue.pop_front();
        ++examined;
        const bool isRoot = atRoot;
        atRoot = false;

        std::vector<Element> kids = children(element);
        if (roleMatches(element)) {
            if (!wanted) {
                if (!isRoot) return element;
            } else {
                bool contains = false;
                for (const std::string& entry : labels(element, readLabelSources(element), &kids)) {
                    const std::string lowered = text::lowercased(entry);
                    if (text::canonicallyEqual(lowered, *wanted)) return element;
                    if (!contains) contains = text::containsCanonically(lowered, *wanted);
                }
                if (contains && !partial) partial = element;
            }
        }
        for (Element& child : kids) queue.push_back(std::move(child));
    }
    return partial;
}

}  // namespace

std::optional<Element> find(const Element& in, const std::optional<std::string>& role,
                            const std::optional<std::string>& label, long maxNodes) {
    // Nothing can match without a role or a label, or with an empty label: spare the walk.
    if (!role && !label) return std::nullopt;
    return findWhere(in, [&](const Element& element) { return !role || matchesRole(element, *role); }, label, maxNodes);
}

std::optional<Element> findAnyRole(const Element& in, const std::vector<std::string>& roles, const std::string& label,
                                   long maxNodes) {
    const auto anyRole = [&](const Element& element) {
        for (const std::string& role : roles)
            if (matchesRole(element, role)) return true;
        return false;
    };
    return findWhere(in, anyRole, label, maxNodes);
}

std::optional<Element> wait(const Element& app, const std::optional<Element>& window,
                            const std::optional<std::string>& role, const std::optional<std::string>& label,
                            double timeoutSeconds) {
    platform::Clock& clock = *platform::services().clock;
    const double deadline = clock.hostSeconds() + timeoutSeconds;
    for (;;) {
        if (window) {
            if (auto found = find(*window, role, label)) return found;
        }
        for (const Element& each : windows(app)) {
            if (auto found = find(each, role, label)) return found;
        }
        if (auto found = find(app, role, label)) return found;

        clock.sleep(kWaitSleepSeconds);
        if (!(clock.hostSeconds() < deadline)) return std::nullopt;
    }
}

}  // namespace AX
