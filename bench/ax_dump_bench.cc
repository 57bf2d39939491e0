// ax_dump_bench: the cost per element of a tree dump of the fixture's window (every attribute the dump reads,
// through the AX layer and the AT-SPI backend) against a plain walk of the same window through libatspi that
// reads only role, name and extents. Prints both and their ratio; run it inside a desktop session:
//
//   scripts/desktop-session -- build/bench/ax_dump_bench [--rows N] [--rounds N]
//
// The default of 730 list rows gives a window of about 1500 elements.

#include <atspi/atspi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "ax/ax.h"
#include "ax/tree.h"
#include "fixture_process.h"
#include "platform/linux/atspi_node.h"
#include "platform/services.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
        timed("walk ahead", [&] {
            real_.walkBegins(root, maxElements, maxDepth);
            return 0;
        });
    }
    void walkEnded() override { real_.walkEnded(); }

    void reset() { seconds_.clear(); }
    const std::map<std::string, std::pair<long, double>>& seconds() const { return seconds_; }

private:
    template <typename Call>
    auto timed(const std::string& what, Call call) -> decltype(call()) {
        const auto start = std::chrono::steady_clock::now();
        auto result = call();
        auto& [count, total] = seconds_[what];
        ++count;
        total += secondsSince(start);
        return result;
    }

    platform::Accessibility& real_;
    std::map<std::string, std::pair<long, double>> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    int rows = 730, rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--rows") rows = std::atoi(argv[i + 1]);
        else if (flag == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    platform::installSystemServices();
    TimedAccessibility timed(*platform::services().accessibility);
    platform::services().accessibility = &timed;
    e2e::FixtureProcess fixture({"--rows", std::to_string(rows)});
    const auto elements = fixture.ready() ? e2e::fixtureElements(fixture.pid()) : std::nullopt;
    if (!elements) {
        std::fprintf(stderr, "ax_dump_bench: the fixture application did not come up (run inside a desktop session)\n");
        return 1;
    }
    const auto frame = AX::frame(elements->window);
    const platform::Point origin = frame ? frame->origin : platform::Point{};
    AtspiAccessible* window = platform::linux_desktop::nodeOf(elements->window).object();

    double bestPlain = 1e9, bestDump = 1e9;
    long plainCount = 0, dumpCount = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        plainCount = plainWalk(window);
        bestPlain = std::min(bestPlain, secondsSince(start));

        timed.reset();
        start = std::chrono::steady_clock::now();
        const Tree::Dump dump = Tree::dump(elements->window, origin, 8000, 80);
        bestDump = std::min(bestDump, secondsSince(start));
        dumpCount = static_cast<long>(dump.nodes.size());
    }
    const double plainPerElement = bestPlain / static_cast<double>(plainCount);
    const double dumpPerElement = bestDump / static_cast<double>(std::max(1L, dumpCount));
    std::printf("plain walk (role, name, extents): %ld elements in %.3f s, %.3f ms per element\n", plainCount,
                bestPlain, plainPerElement * 1e3);
    std::printf("tree dump (every attribute):      %ld elements in %.3f s, %.3f ms per element\n", dumpCount,
                bestDump, dumpPerElement * 1e3);
    std::printf("where the last dump's time went (ms per element):");
    for (const auto& [what, spent] : timed.seconds())
        std::printf(" %s %.3f (%ld)", what.c_str(), spent.second * 1e3 / static_cast<double>(std::max(1L, dumpCount)),
                    spent.first);
    std::printf("\n");
    std::printf("ratio dump/plain per element: %.2f\n", dumpPerElement / plainPerElement);
    std::printf("dump of 1500 elements at this rate: %.2f s\n", dumpPerElement * 1500);
    return 0;
}
