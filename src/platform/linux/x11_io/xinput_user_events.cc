#include "platform/linux/x11_io/xinput_user_events.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <glib.h>

#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {
namespace {

// The primary button after the pointer mapping: the left one for a right-handed pointer, the right one
// for a left-handed mapping (`xmodmap -e "pointer = 3 2 1"`).
constexpr int kPrimaryButton = 1;

// How long the pointer must stay still before it counts as resting: short enough that what is under it is
// read before a person's click (which follows a pointer's stop by a tenth of a second or more), long enough
// that a moving pointer is not read at every step.
constexpr gint64 kRestAfterMotionMicros = 40'000;
// How often the pointer's position is read to see it move. Raw motion events come only from devices: a
// pointer warped by a program (`xdotool mousemove`, which warps) moves without any.
constexpr guint kPointerPollMillis = 20;
// How long after a press, a release, a key or a change of the top-level windows what lies under a resting
// pointer is read again: the application has drawn its answer by then (a menu opened, a dialog shown).
constexpr gint64 kRestAfterChangeMicros = 200'000;

struct TapState {
    DisplayPtr display;
    int xiOpcode = 0;
    bool enabled = true;
    UserEvents::LeftPress onPress;
    UserEvents::PointerAt onRest;
    GSource* source = nullptr;  // the connection's source, whose ready time is the next rest
    int pointerX = -1, pointerY = -1;  // where the pointer was at the last poll
};

// A GLib source that is ready whenever the tap's X connection has events to read, and at its ready time,
// which is when the pointer counts as resting.
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

// Raw events carry no position: the pointer's is read when the event is handled.
bool pointerPosition(Display* display, int& x, int& y) {
    Window root = 0, child = 0;
    int winX = 0, winY = 0;
    unsigned int mask = 0;
    return XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &winX, &winY, &mask);
}

// Reads what is under the pointer again after `delayMicros`, unless something comes first that moves
// that moment (a later call).
void restAfter(GSource* source, gint64 delayMicros) {
    g_source_set_ready_time(source, g_get_monotonic_time() + delayMicros);
}

// Handles one event of the tap's connection; returns the delay after which the pointer counts as resting
// again, or 0 when the event says nothing about it.
gint64 handleEvent(TapState& state, XEvent& event) {
    Display* display = state.display.get();
    switch (event.type) {
    case MapNotify:
    case UnmapNotify:
    case ConfigureNotify:
    case DestroyNotify:
        return kRestAfterChangeMicros;  // a top-level window appeared, went, moved or was restacked
    case GenericEvent:
        break;
    default:
        return 0;
    }
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->extension != state.xiOpcode || !XGetEventData(display, cookie)) return 0;
    const int type = cookie->evtype;
    const int physical = type == XI_RawButtonPress ? static_cast<XIRawEvent*>(cookie->data)->detail : 0;
    XFreeEventData(display, cookie);
    if (physical > 0 && logicalButton(display, physical) == kPrimaryButton) {
        int x = 0, y = 0;
        if (state.enabled && state.onPress && pointerPosition(display, x, y)) state.onPress(x, y, std::nullopt);
    }
    return kRestAfterChangeMicros;  // a button pressed or released, a key pressed
}

gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    TapState& state = *reinterpret_cast<XSource*>(source)->state;
    Display* display = state.display.get();
    const gint64 due = g_source_get_ready_time(source);
    const bool restDue = due >= 0 && g_source_get_time(source) >= due;
    gint64 restDelay = 0;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (const gint64 delay = handleEvent(state, event)) restDelay = delay;
    }
    if (restDelay > 0) {
        restAfter(source, restDelay);
    } else if (restDue) {
        g_source_set_ready_time(source, -1);
        int x = 0, y = 0;
        if (state.enabled && state.onRest && pointerPosition(display, x, y)) state.onRest(x, y);
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs xSourceFuncs = {prepare, check, dispatch, nullptr, nullptr, nullptr};

// The pointer poll: a position other than the last one is motion.
gboolean pollPointer(gpointer data) {
    TapState& state = *static_cast<TapState*>(data);
    int x = 0, y = 0;
    if (!state.enabled || !pointerPosition(state.display.get(), x, y)) return G_SOURCE_CONTINUE;
    if (x != state.pointerX || y != state.pointerY) {
        state.pointerX = x;
        state.pointerY = y;
        restAfter(state.source, kRestAfterMotionMicros);
    }
    return G_SOURCE_CONTINUE;
}

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
        state_->source = source_;
        g_source_attach(source_, g_main_context_default());
        if (state_->onRest) {
            poll_ = g_timeout_source_new(kPointerPollMillis);
            g_source_set_callback(poll_, pollPointer, state_.get(), nullptr);
            g_source_attach(poll_, g_main_context_default());
            pollPointer(state_.get());  // what is under the pointer where it is now
        }
    }
    ~XInputTap() override {
        if (poll_) {
            g_source_destroy(poll_);
            g_source_unref(poll_);
        }
        g_source_destroy(source_);
        g_source_unref(source_);
    }
    void disable() override { state_->enabled = false; }

private:
    std::unique_ptr<TapState> state_;
    GSource* source_ = nullptr;
    GSource* poll_ = nullptr;
};

}  // namespace

std::unique_ptr<PointerTap> XInputUserEvents::tapLeftPresses(LeftPress onPress, PointerAt onRest) {
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
    if (onRest) {
        // What may change what lies under a resting pointer besides its motion (polled): the buttons, keys,
        // and the top-level windows (structure events of the root's children).
        XISetMask(bits, XI_RawButtonRelease);
        XISetMask(bits, XI_RawKeyPress);
    }
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    const bool selected = withoutXErrors(display, [&] {
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        if (onRest) XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    });
    if (!selected) return nullptr;
    state->onPress = std::move(onPress);
    state->onRest = std::move(onRest);
    return std::make_unique<XInputTap>(std::move(state));
}

}  // namespace platform::linux_desktop
