#include "platform/linux/atspi/atspi_session.h"

#include <time.h>

#include <cstdlib>
#include <map>
#include <optional>

#include "platform/linux/bus/dbus_session.h"

namespace platform::linux_desktop {
namespace {

enum class LinkState { untried, ready, unusable };
LinkState linkState = LinkState::untried;

// Applications in their quiet period, by bus name, with the time it ends.
std::map<std::string, double>& quietUntil() {
    static std::map<std::string, double> applications;
    return applications;
}

// The calls each application let go unanswered, by bus name, over the process's life.
std::map<std::string, long>& unanswered() {
    static std::map<std::string, long> counts;
    return counts;
}

// Whether the accessibility bus that libatspi is about to use answers within the bus time bound. libatspi
// opens it without a time limit (a stopped bus daemon would hang the tool for ever), so it is tried here
// first, the way libatspi finds it: AT_SPI_BUS_ADDRESS, else the address the bus launcher gives.
bool accessibilityBusAnswers() {
    std::optional<std::string> address;
    if (const char* direct = std::getenv("AT_SPI_BUS_ADDRESS"); direct && *direct) {
        address = direct;
    } else if (BusConnection session = connectSessionBus()) {
        address = accessibilityBusAddress(session.get());
    }
    return address && connectBus(*address) != nullptr;
}

// Told once, as the module opens, before any service of the module is used.
ModuleContext moduleContext;

}  // namespace

DesktopSession desktopSession() { return moduleContext.session; }

const DesktopGeometry* desktopGeometry() {
    return moduleContext.desktopGeometry ? moduleContext.desktopGeometry() : nullptr;
}

const DesktopWindowRequests* desktopWindowRequests() {
    return moduleContext.desktopWindowRequests ? moduleContext.desktopWindowRequests() : nullptr;
}

void useModuleContext(const ModuleContext& context) { moduleContext = context; }

bool atspiReady() {
    if (linkState != LinkState::untried) return linkState == LinkState::ready;
    linkState = LinkState::unusable;
    // libatspi asks the session bus for the accessibility bus's address; libdbus would autolaunch a session
    // bus when none is named, which must never happen behind the user's back.
    const char* sessionBus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!sessionBus || !*sessionBus) return false;
    if (!accessibilityBusAnswers()) return false;
    // libatspi's own warnings ("dbind": an application without the toolkit cache, as GTK 4's bridge is) would
    // reach the tool's standard error, which carries only the tool's diagnostics; a failed call is answered
    // as absence anyway.
    g_log_set_handler("dbind", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO),
                      [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    MainContextTurn turn;
    const int status = atspi_init();
    if (status != 0 && status != 1) return false;
    // The second figure is the grace period libatspi gives newly seen applications (15 s by default); none here.
    atspi_set_timeout(kAtspiCallTimeoutMs, -1);
    linkState = LinkState::ready;
    return true;
}

long unansweredRequests(AtspiAccessible* object) {
    const auto found = unanswered().find(busNameOf(object));
    return found == unanswered().end() ? 0 : found->second;
}

std::string busNameOf(AtspiAccessible* object) {
    const AtspiObject* base = ATSPI_OBJECT(object);
    if (!base || !base->app || !base->app->bus_name) return "";
    return base->app->bus_name;
}

std::string objectPathOf(AtspiAccessible* object) {
    const AtspiObject* base = ATSPI_OBJECT(object);
    return base && base->path ? base->path : "";
}

namespace detail {

double nowSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool mayCall(AtspiAccessible* object) {
    if (!atspiReady()) return false;
    auto& quiet = quietUntil();
    if (quiet.empty()) return true;
    const auto found = quiet.find(busNameOf(object));
    if (found == quiet.end()) return true;
    if (nowSeconds() < found->second) {
        // Refused for the application's silence: a request it did not answer as much as one that timed out.
        ++unanswered()[found->first];
        return false;
    }
    quiet.erase(found);
    return true;
}

void noteIfUnanswered(AtspiAccessible* object, double startSeconds) {
    // A call that took (nearly) the whole timeout is an application that did not answer; a quick failure
    // (no such interface, object gone) says nothing about the application's health.
    const double elapsed = nowSeconds() - startSeconds;
    if (elapsed >= 0.8 * kAtspiCallTimeoutMs / 1000.0) {
        quietUntil()[busNameOf(object)] = nowSeconds() + kUnresponsiveQuietSeconds;
        ++unanswered()[busNameOf(object)];
    }
}

}  // namespace detail
}  // namespace platform::linux_desktop
