#include <algorithm>
#include <array>
#include <utility>

#include "input/input.h"
#include "text/unicode.h"

namespace Input {
namespace {

// The US-layout virtual key numbers of every key a combination can name.
constexpr std::array<std::pair<const char*, uint16_t>, 76> keyList{{
    {"enter", 36},     {"return", 36},      {"tab", 48},        {"space", 49},     {"delete", 51},
    {"backspace", 51}, {"escape", 53},      {"esc", 53},        {"forwarddelete", 117},
    {"home", 115},     {"end", 119},        {"pageup", 116},    {"pagedown", 121}, {"left", 123},
    {"right", 124},    {"down", 125},       {"up", 126},        {"arrowleft", 123},
    {"arrowright", 124}, {"arrowdown", 125}, {"arrowup", 126},  {"f1", 122},       {"f2", 120},
    {"f3", 99},        {"f4", 118},         {"f5", 96},         {"f6", 97},        {"f7", 98},
    {"f8", 100},
    {"a", 0},  {"b", 11}, {"c", 8},  {"d", 2},  {"e", 14}, {"f", 3},  {"g", 5},  {"h", 4},  {"i", 34},
    {"j", 38}, {"k", 40}, {"l", 37}, {"m", 46}, {"n", 45}, {"o", 31}, {"p", 35}, {"q", 12}, {"r", 15},
    {"s", 1},  {"t", 17}, {"u", 32}, {"v", 9},  {"w", 13}, {"x", 7},  {"y", 16}, {"z", 6},
    {"0", 29}, {"1", 18}, {"2", 19}, {"3", 20}, {"4", 21}, {"5", 23}, {"6", 22}, {"7", 26}, {"8", 28},
    {"9", 25},
    {"=", 24}, {"-", 27}, {"]", 30}, {"[", 33}, {"'", 39}, {";", 41}, {"\\", 42}, {",", 43}, {"/", 44},
    {".", 47}, {"`", 50},
}};

std::optional<uint64_t> modifierFlag(std::string_view word) {
    if (word == "cmd" || word == "command" || word == "meta") return platform::modifier::command;
    if (word == "ctrl" || word == "control") return platform::modifier::control;
    if (word == "alt" || word == "option" || word == "opt") return platform::modifier::alternate;
    if (word == "shift") return platform::modifier::shift;
    return std::nullopt;
}

// Spaces and tabs only: a line break inside a part is kept and makes the part unknown.
std::string_view trimmed(std::string_view part) {
    const auto first = part.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = part.find_last_not_of(" \t");
    return part.substr(first, last - first + 1);
}

}  // namespace

const std::map<std::string, uint16_t>& keyCodes() {
    static const std::map<std::string, uint16_t> codes(keyList.begin(), keyList.end());
    return codes;
}

std::optional<Combo> parseCombo(std::string_view text) {
    const std::string lower = text::lowercased(text);
    std::optional<uint16_t> key;
    uint64_t flags = 0;
    size_t start = 0;
    while (start <= lower.size()) {
        const size_t end = std::min(lower.find('+', start), lower.size());
        const std::string_view piece = std::string_view(lower).substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        const std::string_view part = trimmed(piece);
        if (const auto flag = modifierFlag(part)) {
            flags |= *flag;
            continue;
        }
        const auto found = keyCodes().find(std::string(part));
        key = found == keyCodes().end() ? std::nullopt : std::optional<uint16_t>(found->second);
    }
    if (!key) return std::nullopt;
    return Combo{*key, flags};
}

}  // namespace Input
