#include "platform/linux/wayland/mutter_remote_session.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include "base/capture_error.h"
#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/mutter_monitors.h"
#include "platform/linux/wayland/shell_extension.h"

namespace platform::linux_desktop {
namespace {

constexpr const char* kRemoteInterface = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kRemoteSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr const char* kCastInterface = "org.gnome.Mutter.ScreenCast";
constexpr const char* kCastSessionInterface = "org.gnome.Mutter.ScreenCast.Session";
constexpr const char* kCastStreamInterface = "org.gnome.Mutter.ScreenCast.Stream";
constexpr gint64 kStreamWaitMicros = 5 * G_USEC_PER_SEC;
// How long the first keys of a session wait after the compositor took its keyboard into use: 0.2 s was enough
// under GNOME Shell 43.9 on an idle machine, twice that leaves room for a busy one; it is paid once a session.
constexpr gulong kKeyboardSettleMicros = 400 * 1000;

std::string objectPathReply(GVariant* reply) {
    const gchar* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    std::string text = path;
    g_variant_unref(reply);
    return text;
}

struct NodeWait {
    uint32_t nodeId = 0;
    bool arrived = false;
};

void onStreamAdded(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                   gpointer data) {
    auto* wait = static_cast<NodeWait*>(data);
    g_variant_get(parameters, "(u)", &wait->nodeId);
    wait->arrived = true;
}

// Runs `start` (which starts the session of the stream at `streamPath`) and returns the PipeWire node the
// stream then names in a signal. The signal is delivered on the context that is this thread's default while
// subscribing: a private one, iterated here.
template <typename Start>
uint32_t startAndWaitForNode(GDBusConnection* bus, const std::string& streamPath, Start start) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    NodeWait wait;
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus, nullptr, kCastStreamInterface, "PipeWireStreamAdded", streamPath.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, onStreamAdded, &wait, nullptr);
    std::string failure;
    try {
        start();
    } catch (const CaptureError& error) {
        failure = error.what();
    }
    const gint64 deadline = g_get_monotonic_time() + kStreamWaitMicros;
    while (failure.empty() && !wait.arrived && g_get_monotonic_time() < deadline) {
        if (!g_main_context_iteration(context, false)) g_usleep(2000);
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    if (!failure.empty()) throw CaptureError(failure);
    if (!wait.arrived) throw CaptureError("Wayland: the compositor started no stream (is a window focused?)");
    return wait.nodeId;
}

GVariant* streamOptions(CastCursor cursor) {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "cursor-mode", g_variant_new_uint32(uint32_t(cursor)));
    return g_variant_builder_end(&options);
}

}  // namespace

MutterRemoteSession& MutterRemoteSession::shared() {
    static MutterRemoteSession session;
    return session;
}

CastStream MutterRemoteSession::windowStream(CastCursor cursor) {
    std::lock_guard lock(mutex_);
    if (!started_) startLocked(cursor);
    return stream_;
}

void MutterRemoteSession::connectLocked() {
    if (!bus_) bus_ = connectSessionBus();
    if (!bus_) throw CaptureError("Wayland: no session bus (DBUS_SESSION_BUS_ADDRESS) to reach the compositor");
    if (!busNameOwned(bus_.get(), kRemoteDesktopName) || !busNameOwned(bus_.get(), kScreenCastName))
        throw CaptureError(
            "Wayland: the compositor offers no org.gnome.Mutter.ScreenCast and RemoteDesktop (only GNOME's mutter "
            "is supported)");
}

template <typename Record>
CastStream MutterRemoteSession::ownCastStream(Record record) {
    std::lock_guard lock(mutex_);
    connectLocked();
    GDBusConnection* bus = bus_.get();
    GVariantBuilder none;
    g_variant_builder_init(&none, G_VARIANT_TYPE("a{sv}"));
    const std::string castPath = objectPathReply(callMutter(bus, kScreenCastName, "/org/gnome/Mutter/ScreenCast",
                                                            kCastInterface, "CreateSession",
                                                            g_variant_new("(a{sv})", &none), G_VARIANT_TYPE("(o)")));
    CastStream stream;
    stream.path = objectPathReply(record(bus, castPath));
    stream.nodeId = startAndWaitForNode(bus, stream.path, [&] {
        g_variant_unref(callMutter(bus, kScreenCastName, castPath, kCastSessionInterface, "Start", nullptr, nullptr));
    });
    return stream;
}

CastStream MutterRemoteSession::monitorStream(CastCursor cursor) {
    return ownCastStream([&](GDBusConnection* bus, const std::string& castPath) {
        // An empty connector is the primary monitor.
        return callMutter(bus, kScreenCastName, castPath, kCastSessionInterface, "RecordMonitor",
                          g_variant_new("(s@a{sv})", "", streamOptions(cursor)), G_VARIANT_TYPE("(o)"));
    });
}

CastStream MutterRemoteSession::windowStreamOf(uint64_t windowId, CastCursor cursor) {
    return ownCastStream([&](GDBusConnection* bus, const std::string& castPath) {
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&options, "{sv}", "window-id", g_variant_new_uint64(windowId));
        g_variant_builder_add(&options, "{sv}", "cursor-mode", g_variant_new_uint32(uint32_t(cursor)));
        return callMutter(bus, kScreenCastName, castPath, kCastSessionInterface, "RecordWindow",
                          g_variant_new("(a{sv})", &options), G_VARIANT_TYPE("(o)"));
    });
}

void MutterRemoteSession::startLocked(CastCursor cursor) {
    connectLocked();
    GDBusConnection* bus = bus_.get();
    remotePath_ = objectPathReply(callMutter(bus, kRemoteDesktopName, "/org/gnome/Mutter/RemoteDesktop",
                                             kRemoteInterface, "CreateSession", nullptr, G_VARIANT_TYPE("(o)")));
    const std::string sessionId =
        mutterStringProperty(bus, kRemoteDesktopName, remotePath_, kRemoteSessionInterface, "SessionId");

    GVariantBuilder castOptions;
    g_variant_builder_init(&castOptions, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&castOptions, "{sv}", "remote-desktop-session-id", g_variant_new_string(sessionId.c_str()));
    castPath_ = objectPathReply(callMutter(bus, kScreenCastName, "/org/gnome/Mutter/ScreenCast", kCastInterface,
                                           "CreateSession", g_variant_new("(a{sv})", &castOptions),
                                           G_VARIANT_TYPE("(o)")));

    // With GNOME Shell's extension, windows are recorded by id in screen casts of their own, and the pointer
    // moves through the primary monitor's stream, in screen coordinates, wherever the focus is. Without it
    // the stream is the focused window's, which the recording reads too.
    screenCoordinates_ = shellExtensionPresent();
    if (screenCoordinates_) {
        for (const ShareableDisplay& monitor : mutterMonitors())
            if (monitor.primary) monitorOrigin_ = monitor.frame.origin();
        stream_.path = objectPathReply(callMutter(bus, kScreenCastName, castPath_, kCastSessionInterface,
                                                  "RecordMonitor", g_variant_new("(s@a{sv})", "", streamOptions(cursor)),
                                                  G_VARIANT_TYPE("(o)")));
    } else {
        stream_.path = objectPathReply(callMutter(bus, kScreenCastName, castPath_, kCastSessionInterface,
                                                  "RecordWindow", g_variant_new("(@a{sv})", streamOptions(cursor)),
                                                  G_VARIANT_TYPE("(o)")));
    }

    stream_.nodeId = startAndWaitForNode(bus, stream_.path, [&] {
        g_variant_unref(callMutter(bus, kRemoteDesktopName, remotePath_, kRemoteSessionInterface, "Start", nullptr,
                                   nullptr));
    });
    started_ = true;
}

bool MutterRemoteSession::notify(const char* method, GVariant* arguments) {
    try {
        g_variant_unref(callMutter(bus_.get(), kRemoteDesktopName, remotePath_, kRemoteSessionInterface, method,
                                   arguments, nullptr));
        return true;
    } catch (const CaptureError&) {
        return false;
    }
}

bool MutterRemoteSession::keysym(uint32_t keysym, bool pressed) {
    std::lock_guard lock(mutex_);
    if (!started_) startLocked(CastCursor::hidden);
    // The compositor drops the first keysym of a session: a Shift press and release goes first instead, right
    // before the first key rather than as the session starts, and the keys wait a moment after it. GNOME Shell
    // 43.9 takes the session's keyboard into use at its first key, and for a moment loses keys pressed with a
    // modifier (Mousepad: "+ab" typed as "ab", "Zq" as "q", Ctrl+A lost; Calculator's "1", "2" clicked and
    // "+30" typed gave 1230), whether or not the pointer moved first; later keys, and keys after later clicks,
    // arrive whole.
    if (!keyboardUsed_) {
        keyboardUsed_ = true;
        notify("NotifyKeyboardKeysym", g_variant_new("(ub)", uint32_t(XKB_KEY_Shift_L), TRUE));
        notify("NotifyKeyboardKeysym", g_variant_new("(ub)", uint32_t(XKB_KEY_Shift_L), FALSE));
        g_usleep(kKeyboardSettleMicros);
    }
    return notify("NotifyKeyboardKeysym", g_variant_new("(ub)", keysym, gboolean(pressed)));
}

bool MutterRemoteSession::pointerAt(double x, double y) {
    std::lock_guard lock(mutex_);
    if (!started_) startLocked(CastCursor::hidden);
    if (screenCoordinates_)
        return notify("NotifyPointerMotionAbsolute",
                      g_variant_new("(sdd)", stream_.path.c_str(), x - monitorOrigin_.x, y - monitorOrigin_.y));
    return notify("NotifyPointerMotionAbsolute",
                  g_variant_new("(sdd)", stream_.path.c_str(), x + pointerOffsetX_, y + pointerOffsetY_));
}

bool MutterRemoteSession::button(int32_t evdevCode, bool pressed) {
    std::lock_guard lock(mutex_);
    if (!started_) startLocked(CastCursor::hidden);
    return notify("NotifyPointerButton", g_variant_new("(ib)", evdevCode, gboolean(pressed)));
}

bool MutterRemoteSession::scroll(double dx, double dy) {
    std::lock_guard lock(mutex_);
    if (!started_) startLocked(CastCursor::hidden);
    // Flag 1: the end of a scroll motion, so that each call is one finished scroll.
    return notify("NotifyPointerAxis", g_variant_new("(ddu)", dx, dy, 1u));
}

}  // namespace platform::linux_desktop
