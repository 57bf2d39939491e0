#pragma once
// XDG desktop entries: the installed applications, their identities, names and commands.

#include <optional>
#include <string>
#include <vector>

namespace platform::linux_desktop {

/// What the tool reads of one application's desktop entry.
struct DesktopEntry {
    std::string id;    // the desktop id: the path below its applications folder, "/" as "-", no ".desktop"
    std::string path;  // the entry file
    std::string name;  // Name, localised for the user's language when the entry offers it
    std::string plainName;  // Name as written, unlocalised
    std::string exec;       // Exec, with the string escapes resolved, field codes still in
    std::string tryExec;
    std::string workingDirectory;  // Path
    std::string startupWMClass;
    std::string icon;
    bool hidden = false;  // Hidden=true: the entry counts as deleted
};

/// The application directories in search order: $XDG_DATA_HOME/applications, then the applications
/// folder of each $XDG_DATA_DIRS entry (with the XDG defaults when a variable is unset or empty).
std::vector<std::string> applicationDirectories();

/// Reads the entry file at `path`, giving it the id `id`; none unless it is a readable entry of type
/// Application.
std::optional<DesktopEntry> readDesktopEntry(const std::string& path, const std::string& id);

/// Every installed application entry, in directory order then by file name, each desktop id once (the
/// first directory's entry wins; hidden entries hide the id and are left out).
std::vector<DesktopEntry> installedEntries();

/// The desktop id of the entry file at `path`: its place below an application directory when it lies in
/// one, else its file name without ".desktop".
std::string desktopIdOf(const std::string& path);

/// The argument vector of the entry's command: Exec split by the entry quoting rules, field codes for
/// files and URLs dropped, %i, %c, %k and %% expanded. Empty when Exec is empty or malformed.
std::vector<std::string> commandArguments(const DesktopEntry& entry);

/// `program` as a path: itself when it contains "/", else the first executable of that name on $PATH.
std::optional<std::string> findProgram(const std::string& program);

}  // namespace platform::linux_desktop
