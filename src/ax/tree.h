#pragma once
// A window's interface as plain data for reading: one short record per element in document order, with
// geometry relative to the window, and the titles of an application's menu bar.

#include <optional>
#include <string>
#include <vector>

#include "base/json_line.h"
#include "ax/ax.h"

namespace Tree {

/// Strings in a record keep at most this many user-perceived characters.
inline constexpr size_t kLongestRecordString = 160;

/// What the dump says about one element; a missing field is left out of the record's JSON.
struct ElementRecord {
    int depth = 0;
    std::string role;  // "?" when the element has none
    std::optional<std::string> subrole;
    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<std::string> identifier;
    std::optional<std::string> help;
    std::optional<std::string> placeholder;
    std::optional<std::string> value;
    std::optional<std::string> label;  // first label, when it does not repeat title, description, identifier or value
    std::optional<AX::Rect> frame;  // relative to the window, each number rounded to one decimal
    std::vector<std::string> actions;  // without "AXShowMenu" and "AXScrollToVisible"
    std::optional<long> childrenSkipped;  // children left out because listing them could hurt the application
    bool operator==(const ElementRecord&) const = default;
};

/// The records of a dump and whether the limits left elements out.
struct Dump {
    std::vector<ElementRecord> nodes;
    bool truncated = false;
};

/// `v` rounded to one decimal, halves away from zero (12.25 gives 12.3, -0.25 gives -0.3).
double r1(double v);

/// `s` cut to its first 160 user-perceived characters.
std::string shortened(const std::string& s);

/// The elements under `root` (itself included) depth first in document order, at most `maxNodes` records and
/// no deeper than `maxDepth`; frames are relative to `origin`, the window's top-left corner on screen.
Dump dump(const AX::Element& root, AX::Point origin, long maxNodes, long maxDepth);

/// The non-empty titles of the application's menu bar items, in order; empty without a menu bar.
std::vector<std::string> menuBar(const AX::Element& app);

/// The record as a message object with exactly the keys that have something to say.
Out::Message json(const ElementRecord& record);

}  // namespace Tree
