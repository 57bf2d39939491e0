#pragma once
// Finding, launching and activating the desktop's applications, and the main screen's frames.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/screen_capture.h"

namespace platform {

/// One running application: its process and what the desktop knows of it. Absent fields are ones the desktop does not know.
struct ApplicationProcess {
    int32_t pid = 0;
    /// The application's identity on this desktop (the bundle identifier of other platforms).
    std::optional<std::string> identity;
    /// The name people see for it.
    std::optional<std::string> name;
    /// The path of the file that describes and starts it (the application's bundle elsewhere).
    std::optional<std::string> entryPath;
    /// The path of the program the process runs.
    std::optional<std::string> executablePath;
    /// Other names people read for it: the generic name and the full name its description gives, in that
    /// order, those it has.
    std::vector<std::string> otherNames;
    /// The ids of the launches whose windows it shows (the desktop's startup notification); for a process
    /// `open` started, the id that launch was given.
    std::vector<std::string> launchIds;
};

/// The main screen's whole frame and the part of it that windows may use (without panels and docks),
/// both in the platform's bottom-left screen coordinates (origin at the bottom left, y growing upwards),
/// whose flip (height of `frame` minus y) gives the accessibility space.
struct ScreenFrames {
    Rect frame;
    Rect visibleFrame;
};

class Applications {
public:
    virtual ~Applications() = default;

    /// The running applications, in a stable order (the platform's own). Only reads desktop state.
    virtual std::vector<ApplicationProcess> running() = 0;

    /// Whether the process `pid` has ended.
    virtual bool isTerminated(int32_t pid) = 0;

    /// Whether `path` names an application the platform can start directly: an application description
    /// file or an executable program. Paths of any other kind answer false.
    virtual bool isApplicationPath(const std::string& path) = 0;

    /// The path of the installed application whose identity is `identity`, if there is one.
    virtual std::optional<std::string> applicationWithIdentity(const std::string& identity) = 0;

    /// The path of the first installed application, in the application directories' order, whose name is
    /// `name` (exact and case-sensitive).
    virtual std::optional<std::string> applicationNamed(const std::string& name) = 0;

    /// The path of the first installed application, in the application directories' order, whose generic
    /// name is `name`, else the first whose full name is `name` (both exact and case-sensitive).
    virtual std::optional<std::string> applicationWithOtherName(const std::string& name) {
        (void)name;
        return std::nullopt;
    }

    /// The names of the installed applications a person can choose from the desktop's menus, each once, in
    /// the application directories' order.
    virtual std::vector<std::string> installedNames() { return {}; }

    /// Starts the application at `path` (as `isApplicationPath` or the lookups above give it) so that it
    /// outlives this program, and returns its process: the one started, which may be a launcher that hands
    /// the application on to another process. When `path` describes the application (a desktop entry), the
    /// record also carries that description's identity, names and path. The record's `launchIds` holds the
    /// id this launch was given, when the desktop gives launches ids. Throws a platform error naming what
    /// failed.
    virtual ApplicationProcess open(const std::string& path) = 0;

    /// Whether process `pid` was started by process `ancestor`, directly or through processes in between,
    /// as far as the chain of parents can still be followed (a process whose parent ended has lost it).
    /// A platform that cannot tell answers false.
    virtual bool descendsFrom(int32_t pid, int32_t ancestor) {
        (void)pid;
        (void)ancestor;
        return false;
    }

    /// The identity an application started from `path` will carry, when the path tells it.
    virtual std::optional<std::string> identityOf(const std::string& path) = 0;

    /// Brings the application's top-level window to the front and gives it the focus; returns without
    /// waiting for that to happen. Does nothing when the application has no window.
    virtual void activate(const ApplicationProcess& application) = 0;

    /// The main screen's frames, or none when there is no screen.
    virtual std::optional<ScreenFrames> mainScreen() = 0;

    /// Moves and resizes the top-level window `windowID` (the capture service's id) of `application` so
    /// that its frame, decorations included, is `frame` (top-left origin), for windows that cannot be
    /// placed through their interface elements. False when the window cannot be placed; a platform
    /// without such a request answers false.
    virtual bool placeWindow(const ApplicationProcess& application, uint64_t windowID, const Rect& frame) {
        (void)application;
        (void)windowID;
        (void)frame;
        return false;
    }
};

}  // namespace platform
