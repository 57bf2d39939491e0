#pragma once
// Finding one element of a subtree by role and visible label, and waiting for it to appear.

#include <optional>
#include <string>
#include <vector>

#include "ax/ax.h"

namespace AX {

/// Elements a search examines unless told otherwise.
inline constexpr long kDefaultSearchBudget = 8000;

/// Elements a search examines in the menu bar and inside menu items.
inline constexpr long kMenuSearchBudget = 400;

/// Blocking sleep between two passes of `wait`.
inline constexpr double kWaitSleepSeconds = 0.15;

/// True when the element matches the wanted role: its `AXRole` or `AXSubrole` equals `wanted`, or its
/// `AXRole` equals "AX" followed by `wanted`. Case-sensitive.
bool matchesRole(const Element& element, const std::string& wanted);

/// One element of the subtree at `in` (the root included), breadth first, examining at most `maxNodes`
/// elements. With a label, the first element with a label equal to it (ignoring case) wins, else the first
/// whose label contains it; an empty label matches nothing. With a role only, the first matching element
/// other than the root. With neither, nothing.
std::optional<Element> find(const Element& in, const std::optional<std::string>& role,
                            const std::optional<std::string>& label, long maxNodes = kDefaultSearchBudget);

/// As `find` with a label, the element's role matching any of `roles` (as `matchesRole` does).
std::optional<Element> findAnyRole(const Element& in, const std::vector<std::string>& roles, const std::string& label,
                                   long maxNodes = kDefaultSearchBudget);

/// Searches `window`, then each of the application's windows, then the application itself (which reaches
/// the menu bar), pass after pass with a 0.15 s blocking sleep between, until an element is found or
/// `timeoutSeconds` have passed. At least one pass is made.
std::optional<Element> wait(const Element& app, const std::optional<Element>& window,
                            const std::optional<std::string>& role, const std::optional<std::string>& label,
                            double timeoutSeconds);

}  // namespace AX
