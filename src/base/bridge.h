#pragma once
// Waiting on the main thread while the main loop keeps turning.

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <variant>

#include "platform/run_loop.h"
#include "platform/services.h"

namespace bridge {

/// Length of one main-loop slice while `blocking` waits.
inline constexpr double kSliceSeconds = 0.01;

/// Runs `body` on a worker thread and serves the main loop on the calling (main) thread in slices of
/// 0.01 s until it is done; returns its value or rethrows its exception unchanged. No timeout: any bound
/// belongs to `body`.
template <typename Body>
auto blocking(Body body) -> std::invoke_result_t<Body> {
    using Value = std::invoke_result_t<Body>;
    using Stored = std::conditional_t<std::is_void_v<Value>, std::monostate, Value>;

    struct Slot {
        std::mutex mutex;
        std::optional<Stored> value;
        std::exception_ptr error;
        bool filled = false;
    };
    auto slot = std::make_shared<Slot>();
    auto& runLoop = *platform::services().runLoop;

    std::thread worker([slot, &runLoop, body = std::move(body)]() mutable {
        std::optional<Stored> value;
        std::exception_ptr error;
        try {
            if constexpr (std::is_void_v<Value>) {
                body();
                value.emplace();
            } else {
                value.emplace(body());
            }
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(slot->mutex);
            slot->value = std::move(value);
            slot->error = error;
            slot->filled = true;
        }
        runLoop.wake();
    });

    for (;;) {
        {
            std::lock_guard lock(slot->mutex);
            if (slot->filled) break;
        }
        runLoop.runFor(kSliceSeconds);
    }
    worker.join();
    if (slot->error) std::rethrow_exception(slot->error);
    if constexpr (!std::is_void_v<Value>) return std::move(*slot->value);
}

/// Serves the main loop until `seconds` have passed; zero or negative returns at once.
void pause(double seconds);

}  // namespace bridge
