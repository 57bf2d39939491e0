#pragma once
// Colon-separated folder lists ($PATH, $XDG_DATA_DIRS), split without a string stream: a stream's first use
// builds the process's locale, which a window list would otherwise pay for.

#include <string>
#include <string_view>
#include <vector>

namespace platform::linux_desktop {

/// The folders of `list`, in order, empty ones left out.
inline std::vector<std::string> foldersOf(std::string_view list) {
    std::vector<std::string> folders;
    while (!list.empty()) {
        const size_t colon = list.find(':');
        if (const std::string_view folder = list.substr(0, colon); !folder.empty()) folders.emplace_back(folder);
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return folders;
}

/// The folders of $PATH, or of the usual default when it is unset or empty.
inline std::vector<std::string> programFolders(const char* pathVariable) {
    return foldersOf(pathVariable && *pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin");
}

}  // namespace platform::linux_desktop
