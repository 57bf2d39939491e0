#pragma once
// The platform layer as the core sees it: one object per operating-system service.
//
// The product installs the desktop backend once at start; unit tests install in-memory fakes. Backends
// connect to their services lazily, on first use, so a command that needs none of them touches nothing.

#include <cstddef>

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

/// Where the core reaches one service, used as a pointer to it (`services().accessibility->children(e)`).
/// It holds the service itself (a fake, a service of the executable), or a way to find it on first use (a
/// backend in a module that is opened then, which may throw the module's error). Testing it against null
/// asks whether a service is installed, and finds nothing.
template <typename Service>
class ServiceSlot {
public:
    using Finder = Service* (*)(void* source);

    ServiceSlot() = default;
    ServiceSlot(Service* service) : service_(service) {}  // installed by pointer
    ServiceSlot(Finder find, void* source) : find_(find), source_(source) {}

    /// The service; found on every call that has no object of its own (the finder keeps what it found).
    Service* get() const { return service_ ? service_ : find_ ? find_(source_) : nullptr; }
    Service* operator->() const { return get(); }
    Service& operator*() const { return *get(); }
    operator Service*() const { return get(); }

    explicit operator bool() const { return service_ != nullptr || find_ != nullptr; }
    friend bool operator==(const ServiceSlot& slot, std::nullptr_t) { return !slot; }

private:
    Service* service_ = nullptr;
    Finder find_ = nullptr;
    void* source_ = nullptr;
};

struct Services {
    RunLoop* runLoop = nullptr;
    Clock* clock = nullptr;
    ServiceSlot<PermissionProbe> permissions{};
    ServiceSlot<Accessibility> accessibility{};
    ServiceSlot<InputEvents> input{};
    ServiceSlot<ScreenCapture> capture{};
    ServiceSlot<MovieWriters> movies{};
    ServiceSlot<Applications> applications{};
    ServiceSlot<TextRecognizer> textRecognizer{};
    ServiceSlot<UserEvents> userEvents{};
};

/// The installed services. Every service a command needs is installed before the command runs.
Services& services();

/// Installs `installed` as the process's services and returns the ones they replace.
Services install(const Services& installed);

/// Installs the services of the desktop this program was built for (defined by the backend).
void installSystemServices();

}  // namespace platform
