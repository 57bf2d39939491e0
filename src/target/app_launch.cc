#include "target/app_launch.h"

#include <algorithm>
#include <exception>
#include <set>

#include "ax/suggest.h"
#include "base/capture_error.h"
#include "base/diagnostics.h"
#include "capture/window_pickers.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace target {
namespace {

platform::Applications& applications() { return *platform::services().applications; }

bool matchesOwnNames(const platform::ApplicationProcess& candidate, const std::string& app) {
    return candidate.identity == app || candidate.name == app || candidate.entryPath == app ||
           candidate.executablePath == app;
}

// The processes showing an ordinary window, or nothing when the desktop cannot be asked.
std::optional<std::set<int32_t>> processesShowingWindows() {
    if (platform::services().capture == nullptr) return std::nullopt;
    try {
        return capture::processesShowingWindows();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// How a running process is tied to a launch, best first; `none` when it is not.
enum class Tie { ofLaunch, started, ofEntry, startedByIt, none };

struct LaunchTies {
    const platform::ApplicationProcess& started;
    const std::optional<std::string>& identity;

    Tie of(const platform::ApplicationProcess& candidate) const {
        for (const auto& id : started.launchIds)
            if (std::find(candidate.launchIds.begin(), candidate.launchIds.end(), id) != candidate.launchIds.end())
                return Tie::ofLaunch;
        if (candidate.pid == started.pid) return Tie::started;
        if (identity && candidate.identity == identity) return Tie::ofEntry;
        if (applications().descendsFrom(candidate.pid, started.pid)) return Tie::startedByIt;
        return Tie::none;
    }
};

// The rank of a tied process that shows no window yet, for the end of the wait: one of this launch, else one
// the started one started (LibreOffice's first soffice.bin on a new profile ends before showing a window, and
// is started again), else the started process, else one of the entry.
int waitingRank(Tie tie) {
    switch (tie) {
        case Tie::ofLaunch: return 0;
        case Tie::startedByIt: return 1;
        case Tie::started: return 2;
        default: return 3;
    }
}

// The process that shows the started program's window, looked for once: among the running processes tied to
// the launch (one whose window carries this launch's id, the started process, one of the entry's identity,
// one the started process started), the best tied one that shows an ordinary window. The started process may
// be a launcher that hands the program on and never shows a window itself (gnome-terminal asks
// gnome-terminal-server over D-Bus and exits). When the desktop cannot say which processes show windows, a
// registered started process or one of the entry counts as shown. The best tied process that shows none yet
// is kept in `waiting`, for the end of the wait.
std::optional<platform::ApplicationProcess> findShowing(const LaunchTies& ties,
                                                        std::optional<platform::ApplicationProcess>& waiting) {
    const std::optional<std::set<int32_t>> showing = processesShowingWindows();
    std::optional<platform::ApplicationProcess> best;
    Tie bestTie = Tie::none;
    int waitingBest = 4;
    waiting.reset();
    for (const auto& candidate : applications().running()) {
        const Tie tie = ties.of(candidate);
        if (tie == Tie::none) continue;
        const bool shows = showing ? showing->count(candidate.pid) > 0 : tie != Tie::startedByIt;
        if (shows && tie < bestTie) {
            best = candidate;
            bestTie = tie;
        } else if (!shows && waitingRank(tie) < waitingBest) {
            waiting = candidate;
            waitingBest = waitingRank(tie);
        }
    }
    return best;
}

// The application as the host asked for it: a process the desktop cannot tie to an installed application
// (soffice.bin, whose leader windows name no entry) is the application of the entry it was started from.
platform::ApplicationProcess describedByEntry(platform::ApplicationProcess found,
                                              const platform::ApplicationProcess& started) {
    if (found.entryPath || !started.entryPath) return found;
    found.identity = started.identity;
    found.name = started.name;
    found.otherNames = started.otherNames;
    found.entryPath = started.entryPath;
    return found;
}

// Waits until a process tied to the launch shows a window (`findShowing`). At the deadline the best tied
// process that shows none is returned as it is, else the started process when it is still alive. A started
// process that ended with nothing tied to it is a failed launch: at once when nothing could succeed it (a
// program started by path has no identity), at the deadline otherwise.
platform::ApplicationProcess awaitShowing(const platform::ApplicationProcess& started,
                                          const std::optional<std::string>& identity, const std::string& path,
                                          double deadlineHostSeconds) {
    auto& clock = *platform::services().clock;
    const LaunchTies ties{started, identity};
    std::optional<platform::ApplicationProcess> waiting;
    for (;;) {
        if (auto found = findShowing(ties, waiting)) return describedByEntry(std::move(*found), started);
        const bool timeUp = clock.hostSeconds() >= deadlineHostSeconds;
        if (timeUp && waiting) return describedByEntry(std::move(*waiting), started);
        const bool ended = applications().isTerminated(started.pid);
        if (ended && (!identity || timeUp)) throw CaptureError("the application ended without showing up: " + path);
        if (timeUp) return started;
        clock.sleep(kLaunchPollSeconds);
    }
}

// The running application the entry at `path` describes, so that an application named another way than the
// running one's names (its generic name, say, or an entry a Java program was started from) is not started a
// second time.
std::optional<platform::ApplicationProcess> runningFrom(const std::string& path) {
    const std::optional<std::string> identity = applications().identityOf(path);
    for (auto& candidate : applications().running())
        if (candidate.entryPath == path || (identity && candidate.identity == identity)) return candidate;
    return std::nullopt;
}

}  // namespace

std::optional<platform::ApplicationProcess> runningApp(const std::string& app) {
    const std::vector<platform::ApplicationProcess> running = applications().running();
    for (const auto& candidate : running)
        if (matchesOwnNames(candidate, app)) return candidate;
    // The names people read in menus, after every application's own names: the generic name, then the full name.
    for (size_t which = 0; which < 2; ++which)
        for (const auto& candidate : running)
            if (candidate.otherNames.size() > which && candidate.otherNames[which] == app) return candidate;
    return std::nullopt;
}

std::optional<std::string> resolveAppURL(const std::string& app) {
    auto& apps = applications();
    if (apps.isApplicationPath(app)) return app;
    if (auto byIdentity = apps.applicationWithIdentity(app)) return byIdentity;
    if (auto byName = apps.applicationNamed(app)) return byName;
    return apps.applicationWithOtherName(app);
}

std::vector<std::string> closestInstalledNames(const std::string& app, std::vector<std::string> names) {
    std::vector<std::pair<double, std::string>> ranked;
    for (auto& name : names) ranked.emplace_back(Suggest::distance(app, name), std::move(name));
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> closest;
    for (size_t i = 0; i < ranked.size() && i < kClosestNamesShown; ++i) closest.push_back(ranked[i].second);
    return closest;
}

std::string closestNamesLine(const std::string& app, const std::vector<std::string>& names) {
    std::string line = "no installed application is called \"" + app + "\"; the closest names:";
    for (size_t i = 0; i < names.size(); ++i) line += (i ? ", \"" : " \"") + names[i] + "\"";
    return line;
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
    if (!path) {
        const std::vector<std::string> closest = closestInstalledNames(app, applications().installedNames());
        if (!closest.empty()) Out::log(closestNamesLine(app, closest));
        throw CaptureError("app not found: " + app, "not_found");
    }
    if (auto running = runningFrom(*path)) {
        applications().activate(*running);
        return *running;
    }
    const platform::ApplicationProcess started = applications().open(*path);
    return awaitShowing(started, applications().identityOf(*path), *path, deadlineHostSeconds);
}

}  // namespace target
