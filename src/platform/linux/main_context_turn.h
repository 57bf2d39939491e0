#pragma once
// Taking turns with the main loop on GLib's default main context.
//
// libatspi watches its bus connections from the default main context, and it opens a private connection to
// each application there too, whatever context it is told to use. While the main thread serves that context
// (as it does when it waits for a worker thread), it reads and dispatches whatever arrives on those
// connections: a reply a worker thread is waiting for is taken from under it, so the worker's call waits its
// whole timeout and fails (an application's windows missing from the list beside a busy core), and a
// connection replaced by one thread while another reads it aborts the process in libdbus. A thread makes its
// accessibility calls while it owns the default context: the main loop then waits instead of iterating.
//
// Ownership is GLib's own (recursive, per thread). The main loop's side, which steps aside while a turn is
// wanted, is kept with GLib beside the default context, so that the executable and every module share it.

#include <glib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform::linux_desktop {

/// What the main loop and the threads that want the default context share.
struct MainContextTurns {
    std::mutex mutex;
    std::condition_variable changed;
    int wanted = 0;  // threads waiting for the context or holding it after waiting
    std::chrono::steady_clock::time_point lastEnded{};

    /// The process's record, made by the main loop when it starts; null when no main loop serves the
    /// default context.
    static MainContextTurns* find() {
        return static_cast<MainContextTurns*>(g_dataset_get_data(g_main_context_default(), kKey));
    }
    static MainContextTurns& install() {
        if (MainContextTurns* turns = find()) return *turns;
        auto* turns = new MainContextTurns;  // lives as long as the process
        g_dataset_set_data(g_main_context_default(), kKey, turns);
        return *turns;
    }

    /// How long the main loop keeps out after a turn, so that a thread making many calls in a row takes
    /// each turn at once rather than waking the loop every time.
    static constexpr std::chrono::milliseconds kBurstGap{5};

private:
    static constexpr const char* kKey = "quorrel-capture-main-context-turns";
};

/// Owns the default main context for its lifetime. Free when the calling thread owns it already (the main
/// thread dispatching a source) or nobody serves it; otherwise the main loop is woken and steps aside.
class MainContextTurn {
public:
    MainContextTurn() {
        GMainContext* context = g_main_context_default();
        if (g_main_context_is_owner(context)) return;  // a source dispatched by this thread's loop
        turns_ = MainContextTurns::find();
        if (g_main_context_acquire(context)) {
            owned_ = true;
            return;
        }
        if (turns_) {
            std::lock_guard lock(turns_->mutex);
            ++turns_->wanted;
            waited_ = true;
        }
        // The owner is the main loop polling: woken, it finishes its iteration, releases the context and
        // steps aside while a turn is wanted.
        for (int attempt = 0; !owned_; ++attempt) {
            g_main_context_wakeup(context);
            g_usleep(attempt < 20 ? 50 : 1000);
            owned_ = g_main_context_acquire(context);
        }
    }
    ~MainContextTurn() {
        if (!owned_) return;
        g_main_context_release(g_main_context_default());
        if (!turns_) return;
        {
            std::lock_guard lock(turns_->mutex);
            if (waited_) --turns_->wanted;
            turns_->lastEnded = std::chrono::steady_clock::now();
        }
        turns_->changed.notify_all();
    }
    MainContextTurn(const MainContextTurn&) = delete;
    MainContextTurn& operator=(const MainContextTurn&) = delete;

private:
    bool owned_ = false;
    bool waited_ = false;
    MainContextTurns* turns_ = nullptr;
};

}  // namespace platform::linux_desktop
