#include "run/app_launch.h"

#include "base/capture_error.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace run {
namespace {

platform::Applications& applications() { return *platform::services().applications; }

bool matches(const platform::ApplicationProcess& candidate, const std::string& app) {
    return candidate.identity == app || candidate.name == app || candidate.entryPath == app ||
           candidate.executablePath == app;
}

std::optional<platform::ApplicationProcess> findByPid(int32_t pid) {
    for (auto& candidate : applications().running())
        if (candidate.pid == pid) return candidate;
    return std::nullopt;
}

std::optional<platform::ApplicationProcess> findByIdentity(const std::string& identity) {
    for (auto& candidate : applications().running())
        if (candidate.identity == identity) return candidate;
    return std::nullopt;
}

// Waits until the started process is one of the running applications, or, when it has ended, until an
// application with the identity it was started for is running (a single-instance launcher that handed
// over and left). A process that is still alive at the deadline is returned as it is. One that ended
// without a successor is a failed launch: at once when nothing could succeed it (a program started by
// path has no identity), at the deadline otherwise.
platform::ApplicationProcess awaitRegistration(const platform::ApplicationProcess& started,
                                               const std::optional<std::string>& identity,
                                               const std::string& path, double deadlineHostSeconds) {
    auto& clock = *platform::services().clock;
    for (;;) {
        if (auto known = findByPid(started.pid)) return *known;
        const bool ended = applications().isTerminated(started.pid);
        if (ended && identity) {
            if (auto successor = findByIdentity(*identity)) return *successor;
        }
        if (ended && (!identity || clock.hostSeconds() >= deadlineHostSeconds))
            throw CaptureError("the application ended without showing up: " + path);
        if (clock.hostSeconds() >= deadlineHostSeconds) return started;
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

}  // namespace run
