#include "platform/linux/glib_run_loop.h"

#include <glib.h>

#include <algorithm>
#include <cmath>

namespace platform::linux_desktop {
namespace {

// The longest stretch served with one timer: a day fits GLib's millisecond timers and microsecond clock
// many times over. Longer waits (a "settleMs" of 1e22) are served a day at a time, so no conversion
// overflows into a timer that fires at once.
constexpr double kLongestStretchSeconds = 86400;

double monotonicSeconds() { return static_cast<double>(g_get_monotonic_time()) / 1e6; }

}  // namespace

bool GlibRunLoop::serveFor(double seconds) {
    GMainContext* context = g_main_context_default();
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(std::llround(seconds * 1e6));

    // A timer at the deadline makes the blocking iteration return in time even when no source fires.
    bool expired = false;
    const guint intervalMs = static_cast<guint>(std::ceil(seconds * 1000));
    GSource* timer = g_timeout_source_new(intervalMs);
    g_source_set_callback(
        timer, [](gpointer flag) -> gboolean { *static_cast<bool*>(flag) = true; return G_SOURCE_REMOVE; },
        &expired, nullptr);
    g_source_attach(timer, context);

    bool woken = false;
    while (!expired && g_get_monotonic_time() < deadline) {
        if ((woken = wakeRequested_.exchange(false))) break;
        g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(timer);
    g_source_unref(timer);
    return woken;
}

void GlibRunLoop::runFor(double seconds) {
    if (!(seconds > 0)) return;  // NaN too
    const double deadline = monotonicSeconds() + seconds;
    for (double left = seconds; left > 0; left = deadline - monotonicSeconds()) {
        if (serveFor(std::min(left, kLongestStretchSeconds))) return;
    }
}

void GlibRunLoop::wake() {
    wakeRequested_ = true;
    g_main_context_wakeup(g_main_context_default());
}

}  // namespace platform::linux_desktop
