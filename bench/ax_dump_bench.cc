// ax_dump_bench: the cost per element of a tree dump of the fixture's window (every attribute the dump reads,
// through the AX layer and the AT-SPI backend) against a plain walk of the same window through libatspi that
// reads only role, name and extents, and the same walk through pyatspi. The dump is timed twice: as a walk
// that is announced (the backend fetches the subtree ahead) and as one read element by element, as before the
// backend fetched ahead. Prints all four, best of the rounds, and the ratios, and counts the requests each walk
// sends to the application (timings move with the machine's load; the counts do not), telling the requests
// sent together ahead of the walk from those that each wait for their answer; run it inside a desktop session:
//
//   scripts/desktop-session -- build/bench/ax_dump_bench [--rows N] [--rounds N] [--pid PID --title TITLE]
//
// The default of 250 list rows gives a window of about 550 elements. More rows than 256 make the list one
// whose rows a dump reads only where they are visible, while the plain walk still reads them all, and the
// two would no longer walk the same elements. With --pid, the window titled TITLE of
// an application that is already running is dumped instead of the fixture's (its first window when TITLE is
// empty).

#include <atspi/atspi.h>
#include <dbus/dbus.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "ax/ax.h"
#include "ax/tree.h"
#include "fixture_elements.h"
#include "platform/linux/atspi/atspi_node.h"
#include "platform/services.h"

namespace {

// CPU seconds used so far by this process, and by process `pid` (from /proc).
double ownCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double processCpuSeconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t end = text.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) user = std::stoull(field);
        if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Requests sent on the accessibility connections, counted by method while `counting` is set: libatspi's
// calls and the backend's own all go through these two libdbus functions, which this program defines over
// libdbus's (it exports its symbols, so the libraries' calls land here) and passes on.
struct RequestCount {
    bool counting = false;
    bool ahead = false;  // inside the walk ahead: sent together, not each waited for
    std::string reading;  // the read of the dump under way
    long waited = 0, together = 0;
    std::map<std::string, long> waitedByMethod, togetherByMethod;

    void reset() {
        waited = together = 0;
        waitedByMethod.clear();
        togetherByMethod.clear();
    }
    void note(DBusMessage* message) {
        if (!counting || dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL) return;
        ++(ahead ? together : waited);
        const char* member = dbus_message_get_member(message);
        const std::string method = member ? member : "?";
        if (ahead)
            ++togetherByMethod[method];
        else
            ++waitedByMethod[reading.empty() ? method : reading + ":" + method];
    }
};
RequestCount requests;

template <typename Function>
Function realFunction(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Role, name and extents of every object under `object`, depth first; returns the number of objects.
long plainWalk(AtspiAccessible* object) {
    long count = 1;
    AtspiRole role = atspi_accessible_get_role(object, nullptr);
    (void)role;
    g_free(atspi_accessible_get_name(object, nullptr));
    if (AtspiComponent* component = atspi_accessible_get_component_iface(object)) {
        g_free(atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr));
        g_object_unref(component);
    }
    const int children = atspi_accessible_get_child_count(object, nullptr);
    for (int i = 0; i < children; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, nullptr);
        if (!child) continue;
        count += plainWalk(child);
        g_object_unref(child);
    }
    return count;
}

// Passes every request on to the real backend and adds up the time spent per kind of request, so that the
// report says where a dump's time goes.
class TimedAccessibility final : public platform::Accessibility {
public:
    explicit TimedAccessibility(platform::Accessibility& real) : real_(real) {}

    std::optional<platform::Value> attribute(const platform::Element& element, std::string_view name) override {
        return timed(std::string(name), [&] { return real_.attribute(element, name); });
    }
    std::optional<platform::ElementList> children(const platform::Element& element) override {
        return timed("children", [&] { return real_.children(element); });
    }
    std::optional<platform::Element> parent(const platform::Element& element) override {
        return timed("parent", [&] { return real_.parent(element); });
    }
    std::optional<platform::ElementList> windows(const platform::Element& application) override {
        return timed("windows", [&] { return real_.windows(application); });
    }
    std::vector<std::string> actionNames(const platform::Element& element) override {
        return timed("actions", [&] { return real_.actionNames(element); });
    }
    bool performAction(const platform::Element& element, std::string_view action) override {
        return real_.performAction(element, action);
    }
    bool setFocused(const platform::Element& element) override { return real_.setFocused(element); }
    bool setPosition(const platform::Element& element, platform::Point position) override {
        return real_.setPosition(element, position);
    }
    bool setSize(const platform::Element& element, platform::Size size) override {
        return real_.setSize(element, size);
    }
    std::optional<platform::Element> elementAtPoint(platform::Point point) override {
        return real_.elementAtPoint(point);
    }
    std::optional<platform::Element> application(int pid) override { return real_.application(pid); }
    void walkBegins(const platform::Element& root, long maxElements, long maxDepth) override {
        if (!announceWalks) return;
        requests.ahead = true;
        timed("walk ahead", [&] {
            real_.walkBegins(root, maxElements, maxDepth);
            return 0;
        });
        requests.ahead = false;
    }
    void walkEnded() override { real_.walkEnded(); }

    bool announceWalks = true;  // false: the dump reads element by element

    void reset() { seconds_.clear(); }
    const std::map<std::string, std::pair<long, double>>& seconds() const { return seconds_; }

private:
    template <typename Call>
    auto timed(const std::string& what, Call call) -> decltype(call()) {
        const auto start = std::chrono::steady_clock::now();
        const std::string outer = requests.reading;
        if (outer.empty()) requests.reading = what;
        auto result = call();
        requests.reading = outer;
        auto& [count, total] = seconds_[what];
        ++count;
        total += secondsSince(start);
        return result;
    }

    platform::Accessibility& real_;
    std::map<std::string, std::pair<long, double>> seconds_;
};

}  // namespace

extern "C" DBusMessage* dbus_connection_send_with_reply_and_block(DBusConnection* connection, DBusMessage* message,
                                                                  int timeoutMs, DBusError* error) {
    static const auto real = realFunction<DBusMessage* (*)(DBusConnection*, DBusMessage*, int, DBusError*)>(
        "dbus_connection_send_with_reply_and_block");
    requests.note(message);
    return real(connection, message, timeoutMs, error);
}

extern "C" dbus_bool_t dbus_connection_send_with_reply(DBusConnection* connection, DBusMessage* message,
                                                       DBusPendingCall** pending, int timeoutMs) {
    static const auto real = realFunction<dbus_bool_t (*)(DBusConnection*, DBusMessage*, DBusPendingCall**, int)>(
        "dbus_connection_send_with_reply");
    requests.note(message);
    return real(connection, message, pending, timeoutMs);
}

int main(int argc, char** argv) {
    int rows = 250, rounds = 5, otherPid = 0;
    std::string title;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--rows") rows = std::atoi(argv[i + 1]);
        else if (flag == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (flag == "--pid") otherPid = std::atoi(argv[i + 1]);
        else if (flag == "--title") title = argv[i + 1];
    }
    platform::installSystemServices();
    TimedAccessibility timed(*platform::services().accessibility);
    platform::services().accessibility = &timed;
    std::optional<support::FixtureProcess> fixture;
    if (!otherPid) fixture.emplace(std::vector<std::string>{"--rows", std::to_string(rows)});
    const int pid = otherPid ? otherPid : fixture->pid();
    auto elements = otherPid ? e2e::fixtureElements(pid, title)
                    : fixture->ready() ? e2e::fixtureElements(pid) : std::nullopt;
    if (otherPid && !elements && title.empty()) {  // a window without a title: the application's first one
        if (auto app = platform::services().accessibility->application(pid))
            if (auto windows = AX::windows(*app); !windows.empty()) elements = e2e::FixtureElements{*app, windows[0]};
    }
    if (!elements) {
        std::fprintf(stderr, "ax_dump_bench: the fixture application did not come up (run inside a desktop session)\n");
        return 1;
    }
    const auto frame = AX::frame(elements->window);
    const platform::Point origin = frame ? frame->origin() : platform::Point{};
    AtspiAccessible* window = platform::linux_desktop::nodeOf(elements->window).object();

    // The pyatspi walk runs in its own process while this one waits.
    const std::string pyatspiCommand = std::string("/usr/bin/python3 ") + QC_BENCH_DIR + "/pyatspi_walk.py " +
                                       std::to_string(pid) + " " + std::to_string(rounds);
    long pyatspiCount = 0;
    double bestPyatspi = 0;
    if (FILE* walk = popen(pyatspiCommand.c_str(), "r")) {
        if (std::fscanf(walk, "%ld %lf", &pyatspiCount, &bestPyatspi) != 2) pyatspiCount = 0;
        pclose(walk);
    }

    // The dumps read element by element come first, before any fetch ahead has filled libatspi's caches.
    double bestPlain = 1e9, bestDump = 1e9, bestUnannounced = 1e9;
    double cpuDump = 1e9, cpuUnannounced = 1e9, cpuPlain = 1e9;  // CPU seconds, this process and the application's
    double appCpuDump = 1e9, appCpuPlain = 1e9;                   // CPU seconds, the application's alone
    long plainCount = 0, dumpCount = 0;
    std::map<std::string, std::pair<long, double>> spent, spentUnannounced;
    RequestCount plainRequests, dumpRequests, unannouncedRequests;  // of each walk's last round
    Tree::Dump announcedDump, unannouncedDump;
    for (const bool announced : {false, true}) {
        for (int round = 0; round < rounds; ++round) {
            double appCpuStart = processCpuSeconds(pid);
            double cpuStart = ownCpuSeconds() + appCpuStart;
            requests.reset();
            requests.counting = true;
            auto start = std::chrono::steady_clock::now();
            plainCount = plainWalk(window);
            bestPlain = std::min(bestPlain, secondsSince(start));
            requests.counting = false;
            plainRequests = requests;
            cpuPlain = std::min(cpuPlain, ownCpuSeconds() + processCpuSeconds(pid) - cpuStart);
            appCpuPlain = std::min(appCpuPlain, processCpuSeconds(pid) - appCpuStart);

            timed.reset();
            timed.announceWalks = announced;
            appCpuStart = processCpuSeconds(pid);
            cpuStart = ownCpuSeconds() + appCpuStart;
            requests.reset();
            requests.counting = true;
            start = std::chrono::steady_clock::now();
            Tree::Dump dump = Tree::dump(elements->window, origin, 8000, 80);
            const double seconds = secondsSince(start);
            requests.counting = false;
            (announced ? dumpRequests : unannouncedRequests) = requests;
            const double appCpu = processCpuSeconds(pid) - appCpuStart;
            const double cpu = ownCpuSeconds() + appCpuStart + appCpu - cpuStart;
            dumpCount = static_cast<long>(dump.nodes.size());
            if (announced) {
                bestDump = std::min(bestDump, seconds);
                cpuDump = std::min(cpuDump, cpu);
                appCpuDump = std::min(appCpuDump, appCpu);
                spent = timed.seconds();
                announcedDump = std::move(dump);
            } else {
                bestUnannounced = std::min(bestUnannounced, seconds);
                cpuUnannounced = std::min(cpuUnannounced, cpu);
                spentUnannounced = timed.seconds();
                unannouncedDump = std::move(dump);
            }
        }
    }
    const auto perElementMs = [](double seconds, long count) { return seconds * 1e3 / double(std::max(1L, count)); };
    const double plainMs = perElementMs(bestPlain, plainCount);
    const double dumpMs = perElementMs(bestDump, dumpCount);
    const double unannouncedMs = perElementMs(bestUnannounced, dumpCount);
    std::printf("plain walk, libatspi (role, name, extents): %5ld elements in %.3f s, %.3f ms per element\n",
                plainCount, bestPlain, plainMs);
    if (pyatspiCount > 0) {
        const double pyatspiMs = perElementMs(bestPyatspi, pyatspiCount);
        std::printf("plain walk, pyatspi (role, name, extents):  %5ld elements in %.3f s, %.3f ms per element\n",
                    pyatspiCount, bestPyatspi, pyatspiMs);
    } else {
        std::printf("plain walk, pyatspi: not run (python3-pyatspi missing?)\n");
    }
    std::printf("tree dump, element by element (before):     %5ld elements in %.3f s, %.3f ms per element\n",
                dumpCount, bestUnannounced, unannouncedMs);
    std::printf("tree dump, fetched ahead:                   %5ld elements in %.3f s, %.3f ms per element\n",
                dumpCount, bestDump, dumpMs);
    for (const auto& [label, table] : {std::pair{"fetched ahead", &spent}, {"element by element", &spentUnannounced}}) {
        std::printf("where the last dump's time went, %s (ms per element):", label);
        for (const auto& [what, cost] : *table)
            std::printf(" %s %.3f (%ld)", what.c_str(), perElementMs(cost.second, dumpCount), cost.first);
        std::printf("\n");
    }
    std::printf("CPU ms per element (this process + the application): plain walk %.3f, element by element %.3f, "
                "fetched ahead %.3f\n",
                perElementMs(cpuPlain, plainCount), perElementMs(cpuUnannounced, dumpCount),
                perElementMs(cpuDump, dumpCount));
    std::printf("CPU ms per element of the application alone: plain walk %.3f, fetched ahead %.3f\n",
                perElementMs(appCpuPlain, plainCount), perElementMs(appCpuDump, dumpCount));
    const auto perElement = [](long count, long elements) { return double(count) / double(std::max(1L, elements)); };
    std::printf("requests to the application per element: plain walk %.2f (each waited for), element by element "
                "%.2f, fetched ahead %.2f sent together + %.2f each waited for\n",
                perElement(plainRequests.waited, plainCount), perElement(unannouncedRequests.waited, dumpCount),
                perElement(dumpRequests.together, dumpCount), perElement(dumpRequests.waited, dumpCount));
    for (const auto& [label, table] : {std::pair{"sent together", &dumpRequests.togetherByMethod},
                                       {"each waited for", &dumpRequests.waitedByMethod}}) {
        std::printf("requests of the dump fetched ahead, %s (per element):", label);
        for (const auto& [method, count] : *table)
            std::printf(" %s %.3f (%ld)", method.c_str(), perElement(count, dumpCount), count);
        std::printf("\n");
    }
    std::printf("the two dumps are %s\n", announcedDump.nodes == unannouncedDump.nodes &&
                                                  announcedDump.truncated == unannouncedDump.truncated
                                              ? "identical"
                                              : "DIFFERENT");
    // Where they part, when they do (an application that changes while it is read gives different dumps too).
    for (size_t i = 0; i < std::max(announcedDump.nodes.size(), unannouncedDump.nodes.size()); ++i) {
        const auto text = [i](const Tree::Dump& dump) {
            return i < dump.nodes.size() ? Tree::json(dump.nodes[i]).dump() : std::string("(none)");
        };
        if (text(announcedDump) == text(unannouncedDump)) continue;
        std::printf("first difference, record %zu:\n  fetched ahead:      %s\n  element by element: %s\n", i,
                    text(announcedDump).c_str(), text(unannouncedDump).c_str());
        break;
    }
    std::printf("ratio dump/plain walk per element: %.2f fetched ahead, %.2f element by element (target <= 1.0)\n",
                dumpMs / plainMs, unannouncedMs / plainMs);
    std::printf("dump of 1500 elements at this rate: %.2f s (before: %.2f s)\n", dumpMs * 1.5, unannouncedMs * 1.5);
    return 0;
}
