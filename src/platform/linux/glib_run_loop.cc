#include "platform/linux/glib_run_loop.h"

#include <glib.h>

#include <algorithm>
#include <cmath>

#include "platform/linux/main_context_turn.h"

namespace platform::linux_desktop {
namespace {

// The longest stretch served with one timer: a day fits GLib's millisecond timers and microsecond clock
// many times over. Longer waits (a "settleMs" of 1e22) are served a day at a time, so no conversion
// overflows into a timer that fires at once.
constexpr double kLongestStretchSeconds = 86400;

double monotonicSeconds() { return static_cast<double>(g_get_monotonic_time()) / 1e6; }

}  // namespace

// Made before any other thread wants a turn, so that every one finds the same record.
GlibRunLoop::GlibRunLoop() { MainContextTurns::install(); }

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

    MainContextTurns& turns = MainContextTurns::install();
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(deadline - g_get_monotonic_time());
    bool woken = false;
    while (!expired && g_get_monotonic_time() < deadline) {
        if ((woken = wakeRequested_.exchange(false))) break;
        {
            // Another thread's accessibility calls come first: the loop waits until they pause.
            std::unique_lock lock(turns.mutex);
            const auto quiet = [&] {
                return wakeRequested_ ||
                       (turns.wanted == 0 &&
                        std::chrono::steady_clock::now() >= turns.lastEnded + MainContextTurns::kBurstGap);
            };
            if (!quiet()) {
                while (!quiet() && std::chrono::steady_clock::now() < until) {
                    const auto gapEnds = turns.lastEnded + MainContextTurns::kBurstGap;
                    turns.changed.wait_until(lock, turns.wanted > 0 ? until : std::min(until, gapEnds));
                }
                continue;
            }
        }
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
    MainContextTurns& turns = MainContextTurns::install();
    {
        std::lock_guard lock(turns.mutex);
        wakeRequested_ = true;
    }
    turns.changed.notify_all();
    g_main_context_wakeup(g_main_context_default());
}

}  // namespace platform::linux_desktop
