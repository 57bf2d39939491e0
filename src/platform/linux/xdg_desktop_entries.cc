#include "platform/linux/xdg_desktop_entries.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace platform::linux_desktop {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> splitPaths(const std::string& list) {
    std::vector<std::string> parts;
    std::stringstream stream(list);
    std::string part;
    while (std::getline(stream, part, ':'))
        if (!part.empty()) parts.push_back(part);
    return parts;
}

// Resolves the escapes of a string value: \s, \n, \t, \r and \\.
std::string unescapeValue(const std::string& raw) {
    std::string value;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            value += raw[i];
            continue;
        }
        switch (raw[++i]) {
            case 's': value += ' '; break;
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            case '\\': value += '\\'; break;
            default: value += '\\'; value += raw[i];
        }
    }
    return value;
}

// The locale names to try for localised keys, most specific first: lang_COUNTRY@MODIFIER, lang_COUNTRY,
// lang@MODIFIER, lang.
std::vector<std::string> localeCandidates() {
    std::string locale = environment("LC_ALL");
    if (locale.empty()) locale = environment("LC_MESSAGES");
    if (locale.empty()) locale = environment("LANG");
    if (locale.empty() || locale == "C" || locale == "POSIX") return {};
    std::string modifier;
    if (auto at = locale.find('@'); at != std::string::npos) {
        modifier = locale.substr(at);
        locale.erase(at);
    }
    if (auto dot = locale.find('.'); dot != std::string::npos) locale.erase(dot);
    std::string lang = locale;
    std::string country;
    if (auto underscore = locale.find('_'); underscore != std::string::npos) {
        lang = locale.substr(0, underscore);
        country = locale.substr(underscore);
    }
    std::vector<std::string> candidates;
    if (!country.empty() && !modifier.empty()) candidates.push_back(lang + country + modifier);
    if (!country.empty()) candidates.push_back(lang + country);
    if (!modifier.empty()) candidates.push_back(lang + modifier);
    candidates.push_back(lang);
    return candidates;
}

bool isExecutableFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> applicationDirectories() {
    std::string dataHome = environment("XDG_DATA_HOME");
    if (dataHome.empty()) dataHome = environment("HOME") + "/.local/share";
    std::vector<std::string> dataDirs = splitPaths(environment("XDG_DATA_DIRS"));
    if (dataDirs.empty()) dataDirs = {"/usr/local/share", "/usr/share"};
    std::vector<std::string> directories{dataHome + "/applications"};
    for (const auto& dir : dataDirs) directories.push_back(dir + "/applications");
    return directories;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path, const std::string& id) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.path = path;
    const std::vector<std::string> locales = localeCandidates();
    size_t bestLocale = locales.size();  // index of the locale the localised name came from
    std::string type;
    bool inMainGroup = false;
    bool sawMainGroup = false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup) continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        size_t start = equals + 1;
        while (start < line.size() && line[start] == ' ') ++start;
        const std::string value = unescapeValue(line.substr(start));
        if (key == "Type") type = value;
        else if (key == "Name") entry.plainName = value;
        else if (key == "Exec") entry.exec = value;
        else if (key == "TryExec") entry.tryExec = value;
        else if (key == "Path") entry.workingDirectory = value;
        else if (key == "StartupWMClass") entry.startupWMClass = value;
        else if (key == "Icon") entry.icon = value;
        else if (key == "Hidden") entry.hidden = value == "true";
        else if (key.starts_with("Name[") && key.back() == ']') {
            const std::string locale = key.substr(5, key.size() - 6);
            const auto found = std::find(locales.begin(), locales.end(), locale);
            const size_t rank = static_cast<size_t>(found - locales.begin());
            if (rank < bestLocale) {
                bestLocale = rank;
                entry.name = value;
            }
        }
    }
    if (!sawMainGroup || type != "Application") return std::nullopt;
    if (bestLocale == locales.size()) entry.name = entry.plainName;
    return entry;
}

std::vector<DesktopEntry> installedEntries() {
    std::vector<DesktopEntry> entries;
    std::set<std::string> seen;
    for (const auto& directory : applicationDirectories()) {
        std::error_code error;
        if (!fs::is_directory(directory, error)) continue;
        std::vector<fs::path> files;
        for (auto it = fs::recursive_directory_iterator(directory, fs::directory_options::skip_permission_denied,
                                                        error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->path().extension() == ".desktop" && it->is_regular_file(error)) files.push_back(it->path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::string id = file.lexically_relative(directory).replace_extension().string();
            std::replace(id.begin(), id.end(), '/', '-');
            if (!seen.insert(id).second) continue;
            auto entry = readDesktopEntry(file.string(), id);
            if (entry && !entry->hidden) entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::string desktopIdOf(const std::string& path) {
    std::error_code error;
    const fs::path file = fs::weakly_canonical(fs::absolute(path, error), error);
    for (const auto& directory : applicationDirectories()) {
        const fs::path base = fs::weakly_canonical(directory, error);
        const fs::path relative = file.lexically_relative(base);
        if (relative.empty() || *relative.begin() == "..") continue;
        std::string id = fs::path(relative).replace_extension().string();
        std::replace(id.begin(), id.end(), '/', '-');
        return id;
    }
    return fs::path(path).stem().string();
}

std::vector<std::string> commandArguments(const DesktopEntry& entry) {
    // First split into words by the quoting rules, remembering which words were quoted (field codes are
    // not expanded inside quotes).
    std::vector<std::pair<std::string, bool>> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    bool inQuotes = false;
    for (size_t i = 0; i < entry.exec.size(); ++i) {
        const char c = entry.exec[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < entry.exec.size() && std::string("\"`$\\").find(entry.exec[i + 1]) != std::string::npos) {
                word += entry.exec[++i];
            } else if (c == '"') {
                inQuotes = false;
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.emplace_back(word, quoted);
            word.clear();
            inWord = quoted = false;
        } else if (c == '"') {
            inWord = inQuotes = quoted = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inQuotes) return {};
    if (inWord) words.emplace_back(word, quoted);

    std::vector<std::string> arguments;
    for (const auto& [text, wasQuoted] : words) {
        if (wasQuoted) {
            arguments.push_back(text);
            continue;
        }
        if (text == "%i") {
            if (!entry.icon.empty()) {
                arguments.push_back("--icon");
                arguments.push_back(entry.icon);
            }
            continue;
        }
        std::string expanded;
        bool dropped = false;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%' || i + 1 == text.size()) {
                expanded += text[i];
                continue;
            }
            switch (text[++i]) {
                case '%': expanded += '%'; break;
                case 'c': expanded += entry.name; break;
                case 'k': expanded += entry.path; break;
                case 'f': case 'F': case 'u': case 'U':
                    // No files or URLs are passed: a word that is only the code disappears.
                    if (text.size() == 2) dropped = true;
                    break;
                default: break;  // deprecated and unknown codes are removed
            }
        }
        if (!dropped && !(expanded.empty() && !text.empty() && text[0] == '%')) arguments.push_back(expanded);
    }
    return arguments;
}

std::optional<std::string> findProgram(const std::string& program) {
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos) return program;
    std::string pathList = environment("PATH");
    if (pathList.empty()) pathList = "/usr/local/bin:/usr/bin:/bin";
    for (const auto& directory : splitPaths(pathList)) {
        const std::string candidate = directory + "/" + program;
        if (isExecutableFile(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace platform::linux_desktop
