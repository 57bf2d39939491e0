#include "platform/linux/wayland/shell_pointer_presses.h"

#include <gio/gio.h>

#include <string>

#include "base/capture_error.h"
#include "platform/linux/bus/dbus_session.h"
#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/shell_extension.h"

namespace platform::linux_desktop {
namespace {

constexpr guint32 kPrimaryButton = 1;

struct TapState {
    BusConnection bus;
    std::string extensionOwner;
    guint subscription = 0;
    bool enabled = true;
    UserEvents::LeftPress onPress;
};

void onPointerPressed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                      gpointer data) {
    auto& state = *static_cast<TapState*>(data);
    if (!state.enabled || !state.onPress || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(tddut)"))) return;
    guint64 timeMicros = 0, window = 0;
    gdouble x = 0, y = 0;
    guint32 button = 0;
    g_variant_get(parameters, "(tddut)", &timeMicros, &x, &y, &button, &window);
    // The time is on the monotonic clock, the host clock's, in microseconds.
    if (button == kPrimaryButton) state.onPress(x, y, double(timeMicros) / 1e6);
}

// The unique name that owns the extension's name: its signals come from it.
std::string ownerOf(GDBusConnection* bus, const char* name) {
    try {
        GVariant* reply = callMutter(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     "GetNameOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"));
        const gchar* owner = nullptr;
        g_variant_get(reply, "(&s)", &owner);
        std::string text = owner ? owner : "";
        g_variant_unref(reply);
        return text;
    } catch (const CaptureError&) {
        return "";
    }
}

bool callExtension(GDBusConnection* bus, const char* method) {
    try {
        g_variant_unref(callMutter(bus, kShellExtensionName, kShellExtensionPath, kShellExtensionInterface, method,
                                   nullptr, nullptr));
        return true;
    } catch (const CaptureError&) {
        return false;
    }
}

class ShellPointerTap final : public PointerTap {
public:
    explicit ShellPointerTap(std::unique_ptr<TapState> state) : state_(std::move(state)) {}
    ~ShellPointerTap() override {
        disable();
        g_dbus_connection_signal_unsubscribe(state_->bus.get(), state_->subscription);
    }
    // The extension stops watching the pointer once no client is subscribed.
    void disable() override {
        if (!state_->enabled) return;
        state_->enabled = false;
        callExtension(state_->bus.get(), "UnsubscribePointerPresses");
    }

private:
    std::unique_ptr<TapState> state_;
};

}  // namespace

// The shell dates each press and names the window it went to, so the moment of rest, which the X11 tap reads
// ahead for presses that close what they hit, is not asked for here.
std::unique_ptr<PointerTap> ShellPointerPresses::tapLeftPresses(LeftPress onPress, PointerAt) {
    if (!shellExtensionPresent()) return nullptr;
    auto state = std::make_unique<TapState>();
    // A connection of the tap's own: the extension tells presses to the connection that subscribed, and drops
    // it when it leaves the bus.
    state->bus = connectSessionBus();
    if (!state->bus) return nullptr;
    GDBusConnection* bus = state->bus.get();
    state->extensionOwner = ownerOf(bus, kShellExtensionName);
    if (state->extensionOwner.empty()) return nullptr;
    state->onPress = std::move(onPress);
    // Delivered on this thread's default main context, the main loop's: presses come while it is served.
    state->subscription = g_dbus_connection_signal_subscribe(
        bus, state->extensionOwner.c_str(), kShellExtensionInterface, "PointerPressed", kShellExtensionPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, onPointerPressed, state.get(), nullptr);
    if (!callExtension(bus, "SubscribePointerPresses")) {
        g_dbus_connection_signal_unsubscribe(bus, state->subscription);
        return nullptr;
    }
    return std::make_unique<ShellPointerTap>(std::move(state));
}

}  // namespace platform::linux_desktop
