#pragma once
// The platform layer as the core sees it: one object per operating-system service.
//
// The product installs the desktop backend once at start; unit tests install in-memory fakes. Backends
// connect to their services lazily, on first use, so a command that needs none of them touches nothing.

namespace platform {

class RunLoop;             // platform/run_loop.h
class Clock;               // platform/clock.h
class PermissionProbe;     // platform/permission_probe.h
class Accessibility;       // platform/accessibility.h: other applications' interface elements
class InputEvents;         // platform/input_events.h: synthesised keyboard and pointer events
class ScreenCapture;       // platform/screen_capture.h: capturable windows and frame streams
class MovieWriters;        // platform/movie_writer.h: movie files
class Applications;        // platform/applications.h: finding, launching and activating applications
class TextRecognizer;      // platform/text_recognizer.h: text in images
class UserEvents;          // platform/user_events.h: the user's own pointer presses

struct Services {
    RunLoop* runLoop = nullptr;
    Clock* clock = nullptr;
    PermissionProbe* permissions = nullptr;
    Accessibility* accessibility = nullptr;
    InputEvents* input = nullptr;
    ScreenCapture* capture = nullptr;
    MovieWriters* movies = nullptr;
    Applications* applications = nullptr;
    TextRecognizer* textRecognizer = nullptr;
    UserEvents* userEvents = nullptr;
};

/// The installed services. Every pointer a command needs is set before the command runs.
Services& services();

/// Installs `installed` as the process's services and returns the ones they replace.
Services install(const Services& installed);

/// Installs the services of the desktop this program was built for (defined by the backend).
void installSystemServices();

}  // namespace platform
