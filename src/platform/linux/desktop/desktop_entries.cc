#include "platform/linux/desktop/desktop_entries.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string_view>

#include "platform/linux/desktop/desktop_entry_command.h"
#include "platform/linux/desktop/folder_list.h"
#include "platform/linux/desktop/launch_identity.h"
#include "platform/linux/desktop/program_search.h"

namespace platform::linux_desktop {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool equalsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// The bytes of a file, in one piece; absent when it cannot be opened. A read that fails part way keeps what
// came before it.
std::optional<std::string> fileContents(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::nullopt;
    std::string contents;
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        contents.append(buffer, static_cast<size_t>(count));
    }
    ::close(descriptor);
    return contents;
}

// Walks one applications folder; entries in subfolders get ids with "-" for each "/".
void collect(const fs::path& directory, std::set<std::string>& seen, std::vector<DesktopEntry>& entries) {
    std::error_code error;
    fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied, error);
    if (error) return;
    for (const auto end = fs::recursive_directory_iterator(); it != end; it.increment(error)) {
        if (error) break;
        const fs::path& file = it->path();
        if (file.extension() != ".desktop" || !it->is_regular_file(error)) continue;
        std::string id = file.lexically_relative(directory).replace_extension().string();
        std::replace(id.begin(), id.end(), '/', '-');
        if (!seen.insert(id).second) continue;  // an earlier folder has it (or hides it)
        if (auto entry = readDesktopEntry(file.string(), id)) entries.push_back(std::move(*entry));
    }
}

}  // namespace

std::vector<std::string> applicationDirectories() {
    std::vector<std::string> directories;
    std::string dataHome = environment("XDG_DATA_HOME");
    if (dataHome.empty() && !environment("HOME").empty()) dataHome = environment("HOME") + "/.local/share";
    if (!dataHome.empty()) directories.push_back(dataHome + "/applications");
    std::string dataDirs = environment("XDG_DATA_DIRS");
    if (dataDirs.empty()) dataDirs = "/usr/local/share:/usr/share";
    for (const std::string& dir : foldersOf(dataDirs)) directories.push_back(dir + "/applications");
    return directories;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path, const std::string& id) {
    const auto contents = fileContents(path);
    if (!contents) return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.path = path;
    bool inMainGroup = false;
    bool application = false;
    bool hidden = false;
    // Line by line without copying: entries carry a line per translation of each name, and only the few keys
    // below are kept.
    std::string_view rest = *contents;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        std::string_view value = line.substr(equals + 1);
        value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
        if (key == "Type") application = value == "Application";
        else if (key == "Name") entry.name = value;
        else if (key == "GenericName") entry.genericName = value;
        else if (key == "X-GNOME-FullName") entry.fullName = value;
        else if (key == "Exec") entry.exec = value;
        else if (key == "TryExec") entry.tryExec = value;
        else if (key == "StartupWMClass") entry.startupWMClass = value;
        else if (key == "NoDisplay") entry.noDisplay = value == "true";
        else if (key == "Path") entry.workingDirectory = value;
        else if (key == "Icon") entry.icon = value;
        else if (key == "Hidden") hidden = value == "true";
    }
    // A hidden entry counts as deleted; returning nothing still lets its id shadow later folders.
    if (!application || hidden) return std::nullopt;
    return entry;
}

std::vector<DesktopEntry> loadDesktopEntries() {
    std::vector<DesktopEntry> entries;
    std::set<std::string> seen;
    for (const auto& directory : applicationDirectories()) collect(directory, seen, entries);
    return entries;
}

std::string resolveProgram(const std::string& exec) { return ProgramSearch(/*listFolders=*/false).resolve(exec); }

std::optional<DesktopEntry> matchDesktopEntry(const std::vector<DesktopEntry>& entries,
                                              const ApplicationHints& hints) {
    if (!hints.gtkApplicationId.empty()) {
        for (const auto& entry : entries) {
            if (entry.id == hints.gtkApplicationId) return entry;
        }
    }
    auto isWindowClass = [&](const std::string& value, bool ignoreCase) {
        if (value.empty()) return false;
        for (const auto* wmClass : {&hints.wmClassClass, &hints.wmClassInstance}) {
            if (wmClass->empty()) continue;
            if (ignoreCase ? equalsIgnoringAsciiCase(value, *wmClass) : value == *wmClass) return true;
        }
        return false;
    };
    for (const auto& entry : entries) {
        if (isWindowClass(entry.startupWMClass, false)) return entry;
    }
    for (const auto& entry : entries) {
        if (isWindowClass(entry.id, true)) return entry;
    }
    if (!hints.executablePath.empty()) {
        std::optional<ProgramSearch> search;  // made when a program is first looked up
        auto resolved = [&](std::optional<std::string>& kept, const std::string& exec) -> const std::string& {
            if (!kept) {
                if (!search) search.emplace(/*listFolders=*/true);
                kept = exec.empty() ? "" : search->resolve(exec);
            }
            return *kept;
        };
        for (const auto& entry : entries) {
            // Interpreted programs (a script run by python) show the interpreter as their executable and
            // so match no entry here; the window class usually catches them above.
            if (resolved(entry.programPath, entry.exec) == hints.executablePath ||
                resolved(entry.tryExecPath, entry.tryExec) == hints.executablePath) {
                return entry;
            }
        }
    }
    if (hints.pid > 0) {
        if (const auto launched = launchedEntryOf(hints.pid)) {
            for (const auto& entry : entries)
                if (entry.path == *launched) return entry;
            const std::string id = desktopIdOf(*launched);
            for (const auto& entry : entries)
                if (entry.id == id) return entry;
        }
    }
    return std::nullopt;
}

}  // namespace platform::linux_desktop
