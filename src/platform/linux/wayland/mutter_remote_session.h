#pragma once
// One remote desktop session of the compositor with a screen cast linked to it, whose stream input events
// aim at (pointer positions are in the stream's coordinates). Without GNOME Shell's extension that is the
// window stream a recording reads through PipeWire, and the pointer moves in the focused window's own
// coordinates; with it, a stream of the primary monitor, and the pointer moves in screen coordinates, while
// a window is recorded by its id in a screen cast of its own.

#include <gio/gio.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/geometry.h"
#include "platform/linux/bus/dbus_session.h"

namespace platform::linux_desktop {

/// How a screen cast shows the pointer: not at all, or drawn into the frames.
enum class CastCursor : uint32_t { hidden = 0, embedded = 1 };

/// The stream of the started session.
struct CastStream {
    std::string path;     // the stream's object path, which pointer motions name
    uint32_t nodeId = 0;  // its PipeWire node
};

class MutterRemoteSession {
public:
    /// The process's session.
    static MutterRemoteSession& shared();

    /// The window stream, made and started on the first call: it records the window that has the keyboard
    /// focus then. Throws CaptureError ("external") when the compositor offers no such service or refuses.
    CastStream windowStream(CastCursor cursor);

    /// A stream of the primary monitor, in a screen cast session of its own (not linked to input), made and
    /// started on each call. Throws like `windowStream`.
    CastStream monitorStream(CastCursor cursor);

    /// A stream of the window whose mutter id is `windowId` (as GNOME Shell's extension lists it), wherever
    /// the focus is, in a screen cast session of its own, made and started on each call. Throws like
    /// `windowStream`.
    CastStream windowStreamOf(uint64_t windowId, CastCursor cursor);

    /// Input through the session (started with a window stream first when none runs). Each returns false
    /// when the compositor refused the event.
    bool keysym(uint32_t keysym, bool pressed);
    bool pointerAt(double x, double y);
    bool button(int32_t evdevCode, bool pressed);
    bool scroll(double dx, double dy);

    /// Where the window's own origin is in the stream's coordinates (the shadow a toolkit draws outside
    /// the size it reports); set by the recording stream, added to every pointer position that is in the
    /// focused window's coordinates (not in screen coordinates).
    void setPointerOffset(int x, int y) {
        pointerOffsetX_ = x;
        pointerOffsetY_ = y;
    }

private:
    std::atomic<int> pointerOffsetX_{0}, pointerOffsetY_{0};
    void startLocked(CastCursor cursor);
    void connectLocked();
    bool notify(const char* method, GVariant* arguments);
    // Starts a screen cast session of its own holding the stream that `record` (given the session's path)
    // asks for, and returns that stream.
    template <typename Record>
    CastStream ownCastStream(Record record);

    std::mutex mutex_;
    BusConnection bus_;
    std::string remotePath_;
    std::string castPath_;
    CastStream stream_;
    bool started_ = false;
    bool keyboardUsed_ = false;  // a key went through the session
    // The input stream is the primary monitor's (screen coordinates from its corner) rather than the
    // focused window's.
    bool screenCoordinates_ = false;
    Point monitorOrigin_;
};

}  // namespace platform::linux_desktop
