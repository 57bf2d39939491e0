#pragma once
// Desktop entries (.desktop files): which installed application a running process belongs to.
//
// Entries are read from $XDG_DATA_HOME/applications (default ~/.local/share/applications), then from the
// applications folder of each $XDG_DATA_DIRS entry (default /usr/local/share:/usr/share). When two folders
// hold the same desktop id, the earlier folder wins, and an entry marked Hidden hides the id altogether.

#include <optional>
#include <string>
#include <vector>

namespace platform::linux_desktop {

/// The keys of one desktop entry this program uses.
struct DesktopEntry {
    std::string id;              // the desktop id: the file's path below applications/, "/" as "-", no ".desktop"
    std::string path;            // the file
    std::string name;            // Name (unlocalised)
    std::string genericName;     // GenericName (unlocalised): what kind of program it is, as menus may show it
    std::string fullName;        // X-GNOME-FullName (unlocalised): the name and the kind together
    std::string exec;            // Exec, as written
    std::string tryExec;         // TryExec, as written
    std::string startupWMClass;  // StartupWMClass
    bool noDisplay = false;      // NoDisplay=true
    std::string workingDirectory;  // Path: the folder the command runs in
    std::string icon;              // Icon, for the %i field code of Exec
    // Exec's and TryExec's programs, resolved (`resolveProgram`) when matching first needs them and kept with
    // the entry: most windows match by id or window class, and searching $PATH for every entry's programs
    // cost more than the rest of listing the windows.
    mutable std::optional<std::string> programPath;
    mutable std::optional<std::string> tryExecPath;
};

/// What is known about a process that owns a window, for matching it to an entry.
struct ApplicationHints {
    std::string gtkApplicationId;  // the toolkit's application id (_GTK_APPLICATION_ID), "" when unset
    std::string wmClassInstance;   // WM_CLASS res_name
    std::string wmClassClass;      // WM_CLASS res_class
    std::string executablePath;    // /proc/<pid>/exe, resolved; "" when unknown
    int pid = 0;                   // the process, for the entry it was launched from; 0 when unknown
};

/// The folders searched, in order of precedence.
std::vector<std::string> applicationDirectories();

/// Every application entry (Type=Application, not Hidden) of the folders, earlier folders first. Matching
/// resolves an entry's programs when it first needs them, so a list is matched by one thread at a time.
std::vector<DesktopEntry> loadDesktopEntries();

/// Reads one entry file; absent when it is not a readable application entry. `id` is given by the caller.
std::optional<DesktopEntry> readDesktopEntry(const std::string& path, const std::string& id);

/// The entry `hints` belong to, tried in this order: the toolkit's application id equals the desktop id;
/// StartupWMClass equals the WM_CLASS class or instance; the desktop id equals the WM_CLASS class or
/// instance (ignoring ASCII case); the program of Exec or TryExec resolves to the executable; the process
/// was launched from the entry's file (`launchedEntryOf`: Java programs, whose windows name a class of their
/// own and whose executable is the Java runtime).
std::optional<DesktopEntry> matchDesktopEntry(const std::vector<DesktopEntry>& entries,
                                              const ApplicationHints& hints);

/// The program of an Exec line (its first word, quotes removed), searched on $PATH when it has no
/// slash, resolved through symbolic links; "" when it cannot be found.
std::string resolveProgram(const std::string& exec);

}  // namespace platform::linux_desktop
