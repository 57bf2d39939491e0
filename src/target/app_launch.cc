#include "target/app_launch.h"

#include <exception>

#include "base/capture_error.h"
#include "capture/window_pickers.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace target {
namespace {

platform::Applications& applications() { return *platform::services().applications; }

bool matches(const platform::ApplicationProcess& candidate, const std::string& app) {
    return candidate.identity == app || candidate.name == app || candidate.entryPath == app ||
           candidate.executablePath == app;
}

// Whether process `pid` shows an ordinary window on screen; false when the desktop cannot be asked.
bool showsWindow(int32_t pid) {
    try {
        return capture::windowOfProcess(pid, std::nullopt).has_value();
    } catch (const std::exception&) {
        return false;
    }
}

// The running application that is the one started as `started`, looked for once: the started process
// itself; else an application with the identity the entry gives (a launcher that handed over to an
// instance of its own, or whose program's windows name the entry); else a process the started one started
// (a launcher script running the real program) once it shows a window. A process it started that shows
// none yet may be a first attempt that gives way to another: LibreOffice's soffice.bin, on a new profile,
// ends after connecting to the display and is started again by its launcher. Such a process is kept in
// `starting`, to be returned when the wait ends with nothing better.
std::optional<platform::ApplicationProcess> findStarted(const platform::ApplicationProcess& started,
                                                        const std::optional<std::string>& identity,
                                                        std::optional<platform::ApplicationProcess>& starting) {
    const std::vector<platform::ApplicationProcess> running = applications().running();
    for (const auto& candidate : running)
        if (candidate.pid == started.pid) return candidate;
    if (identity)
        for (const auto& candidate : running)
            if (candidate.identity == identity) return candidate;
    starting.reset();
    for (const auto& candidate : running) {
        if (!applications().descendsFrom(candidate.pid, started.pid)) continue;
        if (showsWindow(candidate.pid)) return candidate;
        if (!starting) starting = candidate;
    }
    return std::nullopt;
}

// The application as the host asked for it: a process the desktop cannot tie to an installed application
// (soffice.bin, whose leader windows name no entry) is the application of the entry it was started from.
platform::ApplicationProcess describedByEntry(platform::ApplicationProcess found,
                                              const platform::ApplicationProcess& started) {
    if (found.entryPath || !started.entryPath) return found;
    found.identity = started.identity;
    found.name = started.name;
    found.entryPath = started.entryPath;
    return found;
}

// Waits until the started application is running (`findStarted`). At the deadline, a process the started
// one started, else the started process itself when it is still alive, is returned as it is. A started
// process that ended without a successor is a failed launch: at once when nothing could succeed it (a
// program started by path has no identity), at the deadline otherwise.
platform::ApplicationProcess awaitRegistration(const platform::ApplicationProcess& started,
                                               const std::optional<std::string>& identity,
                                               const std::string& path, double deadlineHostSeconds) {
    auto& clock = *platform::services().clock;
    std::optional<platform::ApplicationProcess> starting;
    for (;;) {
        if (auto found = findStarted(started, identity, starting)) return describedByEntry(std::move(*found), started);
        const bool timeUp = clock.hostSeconds() >= deadlineHostSeconds;
        if (timeUp && starting) return describedByEntry(std::move(*starting), started);
        const bool ended = applications().isTerminated(started.pid);
        if (ended && (!identity || timeUp)) throw CaptureError("the application ended without showing up: " + path);
        if (timeUp) return started;
        clock.sleep(kLaunchPollSeconds);
    }
}

}  // namespace

std::optional<platform::ApplicationProcess> runningApp(const std::string& app) {
    for (auto& candidate : applications().running())
        if (matches(candidate, app)) return candidate;
    return std::nullopt;
}

std::optional<std::string> resolveAppURL(const std::string& app) {
    auto& apps = applications();
    if (apps.isApplicationPath(app)) return app;
    if (auto byIdentity = apps.applicationWithIdentity(app)) return byIdentity;
    return apps.applicationNamed(app);
}

platform::ApplicationProcess launch(const std::string& app) {
    return launch(app, platform::services().clock->hostSeconds() + kLaunchRegistrationSeconds);
}

platform::ApplicationProcess launch(const std::string& app, double deadlineHostSeconds) {
    if (auto running = runningApp(app)) {
        applications().activate(*running);
        return *running;
    }
    const auto path = resolveAppURL(app);
    if (!path) throw CaptureError("app not found: " + app, "not_found");
    const platform::ApplicationProcess started = applications().open(*path);
    return awaitRegistration(started, applications().identityOf(*path), *path, deadlineHostSeconds);
}

}  // namespace target
