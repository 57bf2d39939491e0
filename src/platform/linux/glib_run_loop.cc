#include "platform/linux/glib_run_loop.h"

#include <glib.h>

#include <cmath>

namespace platform::linux_desktop {

void GlibRunLoop::runFor(double seconds) {
    if (seconds <= 0) return;
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

    while (!expired && g_get_monotonic_time() < deadline) {
        if (wakeRequested_.exchange(false)) break;
        g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(timer);
    g_source_unref(timer);
}

void GlibRunLoop::wake() {
    wakeRequested_ = true;
    g_main_context_wakeup(g_main_context_default());
}

}  // namespace platform::linux_desktop
