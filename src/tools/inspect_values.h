#pragma once
// The pure parts of the inspect command: the dump's limits and the message for a window that never came.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tools {

/// How long inspect waits for the application's window.
inline constexpr double kInspectWindowTimeoutSeconds = 10;

inline constexpr long kDefaultMaxNodes = 1500;
inline constexpr long kFewestMaxNodes = 10;
inline constexpr long kMostMaxNodes = 8000;
inline constexpr long kDefaultMaxDepth = 40;
inline constexpr long kFewestMaxDepth = 1;
inline constexpr long kMostMaxDepth = 80;

/// The record limit of the dump: 1500 when absent, otherwise the value brought into 10 to 8000.
long nodeLimit(const std::optional<int64_t>& maxNodes);

/// The depth limit of the dump: 40 when absent, otherwise the value brought into 1 to 80.
long depthLimit(const std::optional<int64_t>& maxDepth);

/// `title` between double quotes, with a backslash before every double quote and backslash inside it. Control
/// characters (C0, DEL, C1) and the line and paragraph separators are shown as escapes, so that the message
/// stays on one line and shows what the title really holds: \n, \r and \t for those three, \u followed by
/// four hexadecimal digits (lower case) for the others.
std::string quotedTitle(const std::string& title);

/// "no window[ titled like "<title>"] for <app>; windows: [<quoted titles separated by ", ">]".
std::string noWindowMessage(const std::string& app, const std::optional<std::string>& wantedTitle,
                            const std::vector<std::string>& windowTitles);

/// "<app> (process <pid>) stopped answering accessibility requests while it was inspected; its dump would be
/// incomplete": the error of an inspect during which the application let a request time out.
std::string stoppedAnsweringMessage(const std::string& app, int pid);

}  // namespace tools
