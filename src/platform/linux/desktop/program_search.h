#pragma once
// Finding the program of a desktop entry's Exec or TryExec line on $PATH, as running the line would find it.

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform::linux_desktop {

/// Resolves the programs of Exec lines against $PATH as it is when the search is made. With `listFolders`
/// each small $PATH folder is listed once, when a lookup first reaches it, and a program is then tried only in
/// the folders that may hold its name, and each program is looked up once: matching a window against every
/// entry asks for dozens of programs, most of them in /usr/bin, and trying each in every folder before it was
/// most of what listing the windows cost. A large folder (/usr/bin) is tried rather than listed, as reading
/// its thousands of names costs more than the few programs asked of it. The answers are the same either way.
class ProgramSearch {
public:
    explicit ProgramSearch(bool listFolders);

    /// The program of an Exec line (its first word, quotes removed), searched on $PATH when it has no
    /// slash, resolved through symbolic links; "" when it cannot be found.
    std::string resolve(const std::string& exec);

private:
    struct Folder {
        std::string path;                                    // as written in $PATH
        bool listed = false;                                 // names holds the listing, when it could be read
                                                             // (a large folder is marked listed, unread)
        std::optional<std::unordered_set<std::string>> names;
        std::optional<std::string> realPath;                 // the folder resolved, "" when it cannot be
    };

    std::string lookUp(const std::string& program);
    bool mayHold(Folder& folder, const std::string& name);
    std::string realPathOf(Folder& folder, const std::string& name, const std::string& candidate);

    bool listFolders_;
    std::vector<Folder> folders_;
    std::unordered_map<std::string, std::string> resolved_;  // by first word, with listFolders
};

}  // namespace platform::linux_desktop
