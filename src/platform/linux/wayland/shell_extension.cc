#include "platform/linux/wayland/shell_extension.h"

#include <gio/gio.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <string_view>
#include <thread>

#include "base/capture_error.h"
#include "platform/linux/bus/dbus_session.h"
#include "platform/linux/wayland/mutter_bus.h"

namespace platform::linux_desktop {
namespace {

constexpr uint32_t kFirstVersion = 1;
constexpr uint32_t kWorkAreaVersion = 2;
// A client answers a new size when it has drawn it: a second or two on a loaded machine (Mousepad under
// GNOME Shell 43.9, two busy cores: 0.5 to 2.3 s).
constexpr auto kPlaceWait = std::chrono::seconds(3);
constexpr auto kPlacePoll = std::chrono::milliseconds(50);

// The process's connection for calls to the extension, opened on first use; null without a session bus.
GDBusConnection* shellBus() {
    static std::once_flag once;
    static BusConnection bus;
    std::call_once(once, [] { bus = connectSessionBus(); });
    return bus.get();
}

GVariant* callShell(const char* method, GVariant* arguments, const GVariantType* replyType) {
    GDBusConnection* bus = shellBus();
    if (!bus) throw CaptureError("Wayland: no session bus (DBUS_SESSION_BUS_ADDRESS) to reach GNOME Shell");
    return callMutter(bus, kShellExtensionName, kShellExtensionPath, kShellExtensionInterface, method, arguments,
                      replyType);
}

// The extension's Version property, or 0 when it does not answer.
uint32_t extensionVersion() {
    GDBusConnection* bus = shellBus();
    if (!bus || !busNameOwned(bus, kShellExtensionName)) return 0;
    try {
        GVariant* reply = callMutter(bus, kShellExtensionName, kShellExtensionPath, "org.freedesktop.DBus.Properties",
                                     "Get", g_variant_new("(ss)", kShellExtensionInterface, "Version"),
                                     G_VARIANT_TYPE("(v)"));
        GVariant* value = nullptr;
        g_variant_get(reply, "(v)", &value);
        const uint32_t version = g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
        g_variant_unref(value);
        g_variant_unref(reply);
        return version;
    } catch (const CaptureError&) {
        return 0;
    }
}

// The Version asked once per process (until forgotten).
std::mutex versionMutex;
std::optional<uint32_t> knownVersion;

uint32_t versionOnce() {
    std::lock_guard lock(versionMutex);
    if (!knownVersion) knownVersion = extensionVersion();
    return *knownVersion;
}

Rect rectOf(GVariant* rectangle) {
    gint32 x = 0, y = 0, width = 0, height = 0;
    if (rectangle && g_variant_is_of_type(rectangle, G_VARIANT_TYPE("(iiii)")))
        g_variant_get(rectangle, "(iiii)", &x, &y, &width, &height);
    return {double(x), double(y), double(width), double(height)};
}

std::string stringIn(GVariant* dictionary, const char* key) {
    const gchar* text = nullptr;
    return g_variant_lookup(dictionary, key, "&s", &text) && text ? text : "";
}

ShellWindow windowOf(GVariant* dictionary) {
    ShellWindow window;
    guint64 id = 0;
    gint32 pid = 0;
    gboolean focused = false, minimized = false;
    g_variant_lookup(dictionary, "id", "t", &id);
    g_variant_lookup(dictionary, "pid", "i", &pid);
    g_variant_lookup(dictionary, "focused", "b", &focused);
    g_variant_lookup(dictionary, "minimized", "b", &minimized);
    window.id = id;
    window.pid = pid;
    window.focused = focused;
    window.minimized = minimized;
    window.title = stringIn(dictionary, "title");
    window.appId = stringIn(dictionary, "app-id");
    if (constexpr std::string_view suffix = ".desktop"; window.appId.ends_with(suffix))
        window.appId.resize(window.appId.size() - suffix.size());
    window.wmClass = stringIn(dictionary, "wm-class");
    window.x11Client = stringIn(dictionary, "client-type") == "x11";
    for (auto [key, rect] : {std::pair{"frame", &window.frame}, std::pair{"buffer-frame", &window.bufferFrame}}) {
        if (GVariant* value = g_variant_lookup_value(dictionary, key, G_VARIANT_TYPE("(iiii)"))) {
            *rect = rectOf(value);
            g_variant_unref(value);
        }
    }
    return window;
}

}  // namespace

bool shellExtensionPresent() { return versionOnce() >= kFirstVersion; }

void forgetShellExtension() {
    std::lock_guard lock(versionMutex);
    knownVersion.reset();
}

bool gnomeShellRuns() {
    const BusConnection bus = connectSessionBus();
    return bus && busNameOwned(bus.get(), "org.gnome.Shell");
}

std::vector<ShellWindow> shellWindows() {
    std::vector<ShellWindow> windows;
    GVariant* reply = callShell("ListWindows", nullptr, G_VARIANT_TYPE("(aa{sv})"));
    GVariant* list = g_variant_get_child_value(reply, 0);
    GVariantIter iter;
    g_variant_iter_init(&iter, list);
    while (GVariant* dictionary = g_variant_iter_next_value(&iter)) {
        windows.push_back(windowOf(dictionary));
        g_variant_unref(dictionary);
    }
    g_variant_unref(list);
    g_variant_unref(reply);
    return windows;
}

bool focusShellWindow(uint64_t id) {
    try {
        g_variant_unref(callShell("FocusWindow", g_variant_new("(t)", guint64(id)), nullptr));
        return true;
    } catch (const CaptureError&) {
        return false;
    }
}

bool placeShellWindow(uint64_t id, const Rect& frame) {
    const auto whole = [](double value) { return gint32(std::lround(value)); };
    const Rect wanted{double(whole(frame.x)), double(whole(frame.y)), double(whole(frame.width)),
                      double(whole(frame.height))};
    try {
        g_variant_unref(callShell("MoveResizeWindow",
                                  g_variant_new("(tiiii)", guint64(id), whole(frame.x), whole(frame.y),
                                                whole(frame.width), whole(frame.height)),
                                  nullptr));
    } catch (const CaptureError&) {
        return false;
    }
    // The frame is the client's to take: the wait ends when it has it, or after a while (a client may keep a
    // minimum size of its own, which the caller then reads back).
    const auto deadline = std::chrono::steady_clock::now() + kPlaceWait;
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            for (const ShellWindow& window : shellWindows())
                if (window.id == id && window.frame == wanted) return true;
        } catch (const CaptureError&) {
            return true;
        }
        std::this_thread::sleep_for(kPlacePoll);
    }
    return true;
}

std::optional<Rect> shellWorkArea() {
    if (versionOnce() < kWorkAreaVersion) return std::nullopt;
    try {
        GDBusConnection* bus = shellBus();
        GVariant* reply = callMutter(bus, kShellExtensionName, kShellExtensionPath, "org.freedesktop.DBus.Properties",
                                     "Get", g_variant_new("(ss)", kShellExtensionInterface, "WorkArea"),
                                     G_VARIANT_TYPE("(v)"));
        GVariant* value = nullptr;
        g_variant_get(reply, "(v)", &value);
        const Rect area = rectOf(value);
        g_variant_unref(value);
        g_variant_unref(reply);
        if (area.width > 0 && area.height > 0) return area;
    } catch (const CaptureError&) {
    }
    return std::nullopt;
}

}  // namespace platform::linux_desktop
