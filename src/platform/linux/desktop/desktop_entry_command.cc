#include "platform/linux/desktop/desktop_entry_command.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/linux/desktop/folder_list.h"

namespace platform::linux_desktop {
namespace {

namespace fs = std::filesystem;

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

// Splits Exec into words by its quoting rules; a quoted word is marked so that its field codes stay as
// they are. Nothing when a quote is left open.
std::optional<std::vector<std::pair<std::string, bool>>> splitWords(const std::string& exec) {
    std::vector<std::pair<std::string, bool>> words;
    std::string word;
    bool inWord = false, quoted = false, inQuotes = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < exec.size() && std::string("\"`$\\").find(exec[i + 1]) != std::string::npos) {
                word += exec[++i];
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
    if (inQuotes) return std::nullopt;
    if (inWord) words.emplace_back(word, quoted);
    return words;
}

}  // namespace

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
    const auto words = splitWords(unescapeValue(entry.exec));
    if (!words) return {};
    std::vector<std::string> arguments;
    for (const auto& [text, wasQuoted] : *words) {
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
        bool codeOnly = true;  // the word held nothing but removed field codes
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%' || i + 1 == text.size()) {
                expanded += text[i];
                codeOnly = false;
                continue;
            }
            switch (text[++i]) {
                case '%': expanded += '%'; codeOnly = false; break;
                case 'c': expanded += entry.name; codeOnly = false; break;
                case 'k': expanded += entry.path; codeOnly = false; break;
                default: break;  // files and URLs (none are passed), deprecated and unknown codes
            }
        }
        if (!codeOnly) arguments.push_back(expanded);
    }
    return arguments;
}

std::optional<std::string> findProgram(const std::string& program) {
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos) return program;
    for (const std::string& directory : programFolders(std::getenv("PATH"))) {
        const std::string candidate = directory + "/" + program;
        std::error_code error;
        if (fs::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

}  // namespace platform::linux_desktop
