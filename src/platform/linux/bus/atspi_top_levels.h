#pragma once
// The applications' top-level windows as the accessibility bus lists them: on Wayland the only list of
// windows open to a client that is not the compositor.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace platform::linux_desktop {

/// One top-level window (a frame, dialog or window object) of an application on the accessibility bus.
struct TopLevel {
    uint64_t windowID = 0;  // stable for the object's life: taken from its bus name and object path
    pid_t pid = 0;
    std::string applicationName;  // the accessible name of the application (the toolkit's program name)
    std::string title;            // the window's accessible name
    double width = 0, height = 0; // its extents; a Wayland client knows no position of its own
    Rect visible;                 // the part a person sees, in the window's coordinates (a drawn shadow left out)
    bool active = false;          // the compositor gave it the keyboard focus
};

/// Every showing top-level window of every application, in the bus's order of applications. Empty when the
/// accessibility bus cannot be reached.
std::vector<TopLevel> atspiTopLevels();

/// The toolkit of process `pid`'s application on the accessibility bus ("GTK", "Qt", ...), "" when unknown.
std::string applicationToolkit(pid_t pid);

}  // namespace platform::linux_desktop
