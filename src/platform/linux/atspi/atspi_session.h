#pragma once
// The process's link to the accessibility bus through libatspi: opened on first use, with a bounded time for
// every call, and a short quiet period for an application that stopped answering.

#include <atspi/atspi.h>

#include <optional>
#include <string>

#include "platform/linux/desktop/desktop_session.h"
#include "platform/linux/main_context_turn.h"
#include "platform/linux/module_entry.h"

namespace platform::linux_desktop {

/// The kind of desktop session, as the executable told the module when it opened it (X11 until told).
DesktopSession desktopSession();

/// The desktop module's window geometry (a Wayland compositor's), or null when it knows none.
const DesktopGeometry* desktopGeometry();

/// The desktop module's window requests (a Wayland compositor's), or null when it makes none.
const DesktopWindowRequests* desktopWindowRequests();

/// Keeps what the executable told the module as it opened it; called by the module's entry point.
void useModuleContext(const ModuleContext& context);

/// Longest wait for one answer from another application.
inline constexpr int kAtspiCallTimeoutMs = 1500;

/// After an application lets a call time out, further calls to it fail at once for this long, so that a
/// frozen application costs one timeout per quiet period rather than one per attribute.
inline constexpr double kUnresponsiveQuietSeconds = 2.0;

/// How many calls of this process the application behind `object` has let go unanswered since the process
/// started: those that took the whole timeout and those refused in the quiet period after one.
long unansweredRequests(AtspiAccessible* object);

/// Opens the accessibility bus the first time it is asked; true when it is usable. Never autolaunches a
/// session bus: without DBUS_SESSION_BUS_ADDRESS the answer is false.
bool atspiReady();

/// The bus name of the application that owns `object` ("" when unknown).
std::string busNameOf(AtspiAccessible* object);

/// The object path of `object` on its application's connection.
std::string objectPathOf(AtspiAccessible* object);

/// Runs one libatspi call against `object` with the quiet-period rule: returns nothing without calling
/// when the application is in its quiet period or the bus is not usable, and nothing when the call fails.
/// `call` receives a GError** and returns its result; `failed(result)` says whether a result without an
/// error still means failure.
template <typename Call, typename Failed>
auto atspiCall(AtspiAccessible* object, Call call, Failed failed) -> std::optional<decltype(call(nullptr))>;

/// One of the object's interfaces (a new reference), or null when it has none or does not answer: the first
/// such request asks the application for the object's interface list, so it is bounded like any other call.
template <typename Interface>
Interface* atspiInterface(AtspiAccessible* object, Interface* (*getter)(AtspiAccessible*)) {
    return atspiCall(
               object, [&](GError**) { return getter(object); }, [](Interface* found) { return found == nullptr; })
        .value_or(nullptr);
}

namespace detail {
bool mayCall(AtspiAccessible* object);
double nowSeconds();
void noteIfUnanswered(AtspiAccessible* object, double startSeconds);
}  // namespace detail

template <typename Call, typename Failed>
auto atspiCall(AtspiAccessible* object, Call call, Failed failed) -> std::optional<decltype(call(nullptr))> {
    if (!object || !detail::mayCall(object)) return std::nullopt;
    GError* error = nullptr;
    const double start = detail::nowSeconds();
    MainContextTurn turn;  // the reply must reach this thread, not the main loop
    auto result = call(&error);
    const bool callFailed = error != nullptr || failed(result);
    if (error) g_error_free(error);
    // libatspi answers some timed-out reads with an empty value and no error, so a call that took the whole
    // timeout counts as unanswered whatever it returned.
    detail::noteIfUnanswered(object, start);
    if (callFailed) return std::nullopt;
    return result;
}

}  // namespace platform::linux_desktop
