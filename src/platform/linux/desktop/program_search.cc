#include "platform/linux/desktop/program_search.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <utility>

#include "platform/linux/desktop/folder_list.h"

namespace platform::linux_desktop {
namespace {

namespace fs = std::filesystem;

// A folder whose own size (its list of names) exceeds this is tried rather than listed: /usr/bin, with
// thousands of programs, takes tens of KiB; a folder of a few hundred fits in one 4 KiB block.
constexpr off_t kLargeFolderBytes = 16384;

// The real path of `path`, or "" when it does not exist.
std::string canonical(const std::string& path) {
    std::error_code error;
    auto resolved = fs::canonical(path, error);
    return error ? "" : resolved.string();
}

// The first word of an Exec line: a double-quoted word loses its quotes and its backslash escapes.
std::string firstWord(const std::string& exec) {
    size_t i = exec.find_first_not_of(" \t");
    if (i == std::string::npos) return "";
    std::string word;
    if (exec[i] == '"') {
        for (++i; i < exec.size() && exec[i] != '"'; ++i) {
            if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
            word += exec[i];
        }
        return word;
    }
    for (; i < exec.size() && exec[i] != ' ' && exec[i] != '\t'; ++i) word += exec[i];
    return word;
}

}  // namespace

ProgramSearch::ProgramSearch(bool listFolders) : listFolders_(listFolders) {
    // A folder that cannot be reached holds no program; a folder named again (the same folder, or one
    // reached through a link to it, as /bin is to /usr/bin) holds none that its first naming did not give.
    std::set<std::pair<dev_t, ino_t>> seen;
    for (std::string& directory : programFolders(std::getenv("PATH"))) {
        bool large = false;
        if (listFolders_) {
            struct stat info {};
            if (::stat(directory.c_str(), &info) != 0 || !seen.insert({info.st_dev, info.st_ino}).second) continue;
            large = info.st_size > kLargeFolderBytes;
        }
        folders_.push_back({std::move(directory), large, std::nullopt, std::nullopt});
    }
}

// Whether `folder` may hold `name`: it is listed there, or the folder cannot be listed (it may be searchable
// without being readable).
bool ProgramSearch::mayHold(Folder& folder, const std::string& name) {
    if (!listFolders_ || name.find('\0') != std::string::npos) return true;
    if (!folder.listed) {
        folder.listed = true;
        if (DIR* directory = ::opendir(folder.path.c_str())) {
            folder.names.emplace();
            while (const dirent* item = ::readdir(directory)) folder.names->insert(item->d_name);
            ::closedir(directory);
        }
    }
    return !folder.names || folder.names->count(name) != 0;
}

// canonical(candidate): the folder's real path and the name, when the name is no link (nor "." or "..");
// the folder's real path is found once for all its programs.
std::string ProgramSearch::realPathOf(Folder& folder, const std::string& name, const std::string& candidate) {
    struct stat info {};
    if (listFolders_ && name != "." && name != ".." && ::lstat(candidate.c_str(), &info) == 0 &&
        !S_ISLNK(info.st_mode)) {
        if (!folder.realPath) folder.realPath = canonical(folder.path);
        if (!folder.realPath->empty()) return (fs::path(*folder.realPath) / name).string();
    }
    return canonical(candidate);
}

std::string ProgramSearch::resolve(const std::string& exec) {
    const std::string program = firstWord(exec);
    if (program.empty()) return "";
    if (!listFolders_) return lookUp(program);
    const auto known = resolved_.find(program);
    if (known != resolved_.end()) return known->second;
    return resolved_[program] = lookUp(program);
}

std::string ProgramSearch::lookUp(const std::string& program) {
    if (program.find('/') != std::string::npos) return canonical(program);
    for (Folder& folder : folders_) {
        if (!mayHold(folder, program)) continue;
        const std::string candidate = folder.path + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return realPathOf(folder, program, candidate);
    }
    return "";
}

}  // namespace platform::linux_desktop
