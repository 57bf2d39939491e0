#include "platform/linux/x11/xinput_user_events.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <glib.h>

#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {
namespace {

// The primary button after the pointer mapping: the left one for a right-handed pointer, the right one
// for a left-handed mapping (`xmodmap -e "pointer = 3 2 1"`).
constexpr int kPrimaryButton = 1;

struct TapState {
    DisplayPtr display;
    int xiOpcode = 0;
    bool enabled = true;
    UserEvents::LeftPress onPress;
};

// A GLib source that is ready whenever the tap's X connection has events to read.
struct XSource {
    GSource base;
    GPollFD poll;
    TapState* state;
};

gboolean prepare(GSource* source, gint* timeout) {
    *timeout = -1;
    return XPending(reinterpret_cast<XSource*>(source)->state->display.get()) > 0;
}

gboolean check(GSource* source) {
    auto* xsource = reinterpret_cast<XSource*>(source);
    if (xsource->poll.revents & (G_IO_IN | G_IO_HUP | G_IO_ERR))
        return XPending(xsource->state->display.get()) > 0;
    return FALSE;
}

// The logical button a physical one stands for. Raw events carry the physical button; the pointer
// mapping (read at each press, so a change during the recording counts) turns it into the logical one.
int logicalButton(Display* display, int physical) {
    unsigned char map[256];
    const int count = XGetPointerMapping(display, map, sizeof map);
    if (physical >= 1 && physical <= count) return map[physical - 1];
    return physical;
}

void handlePress(TapState& state) {
    Display* display = state.display.get();
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX, &winY, &mask))
        return;
    if (state.enabled && state.onPress) state.onPress(rootX, rootY, std::nullopt);
}

gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    TapState& state = *reinterpret_cast<XSource*>(source)->state;
    Display* display = state.display.get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != state.xiOpcode) continue;
        if (!XGetEventData(display, cookie)) continue;
        const int physical =
            cookie->evtype == XI_RawButtonPress ? static_cast<XIRawEvent*>(cookie->data)->detail : 0;
        XFreeEventData(display, cookie);
        if (physical > 0 && logicalButton(display, physical) == kPrimaryButton) handlePress(state);
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs xSourceFuncs = {prepare, check, dispatch, nullptr, nullptr, nullptr};

class XInputTap final : public PointerTap {
public:
    XInputTap(std::unique_ptr<TapState> state) : state_(std::move(state)) {
        source_ = g_source_new(&xSourceFuncs, sizeof(XSource));
        auto* xsource = reinterpret_cast<XSource*>(source_);
        xsource->state = state_.get();
        xsource->poll.fd = ConnectionNumber(state_->display.get());
        xsource->poll.events = G_IO_IN | G_IO_HUP | G_IO_ERR;
        g_source_add_poll(source_, &xsource->poll);
        g_source_set_can_recurse(source_, FALSE);
        g_source_attach(source_, g_main_context_default());
    }
    ~XInputTap() override {
        g_source_destroy(source_);
        g_source_unref(source_);
    }
    void disable() override { state_->enabled = false; }

private:
    std::unique_ptr<TapState> state_;
    GSource* source_ = nullptr;
};

}  // namespace

std::unique_ptr<PointerTap> XInputUserEvents::tapLeftPresses(LeftPress onPress) {
    auto state = std::make_unique<TapState>();
    state->display = openDisplay();
    Display* display = state->display.get();
    if (!display) return nullptr;
    int event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &state->xiOpcode, &event, &error)) return nullptr;
    int major = 2, minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || major < 2) return nullptr;

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    const bool selected =
        withoutXErrors(display, [&] { XISelectEvents(display, DefaultRootWindow(display), &mask, 1); });
    if (!selected) return nullptr;
    state->onPress = std::move(onPress);
    return std::make_unique<XInputTap>(std::move(state));
}

}  // namespace platform::linux_desktop
