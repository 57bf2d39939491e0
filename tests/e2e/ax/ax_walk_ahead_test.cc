// A dump fetched ahead (many requests in flight, answers kept for the walk) says exactly what a dump read
// element by element says, on a real GTK application with many kinds of widgets.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ax/ax.h"
#include "ax/tree.h"
#include "platform/services.h"
#include "support/child_process.h"
#include "support/tool_process.h"

namespace {

// Passes every request on, but not the announcement of a walk: the dump then reads element by element.
class UnannouncedWalks final : public platform::Accessibility {
public:
    explicit UnannouncedWalks(platform::Accessibility& real) : real_(real) {}
    std::optional<platform::Value> attribute(const platform::Element& e, std::string_view name) override {
        return real_.attribute(e, name);
    }
    std::optional<platform::ElementList> children(const platform::Element& e) override { return real_.children(e); }
    std::optional<platform::Element> parent(const platform::Element& e) override { return real_.parent(e); }
    std::optional<platform::ElementList> windows(const platform::Element& a) override { return real_.windows(a); }
    std::vector<std::string> actionNames(const platform::Element& e) override { return real_.actionNames(e); }
    bool performAction(const platform::Element& e, std::string_view action) override {
        return real_.performAction(e, action);
    }
    bool setFocused(const platform::Element& e) override { return real_.setFocused(e); }
    bool setPosition(const platform::Element& e, platform::Point p) override { return real_.setPosition(e, p); }
    bool setSize(const platform::Element& e, platform::Size s) override { return real_.setSize(e, s); }
    std::optional<platform::Element> elementAtPoint(platform::Point p) override { return real_.elementAtPoint(p); }
    std::optional<platform::Element> application(int pid) override { return real_.application(pid); }

private:
    platform::Accessibility& real_;
};

// gtk3-widget-factory with a private home, ended with the test.
class WidgetFactory {
public:
    WidgetFactory() : process_({"/usr/bin/gtk3-widget-factory"}, options(folder_.path())) {}
    pid_t pid() const { return process_.pid(); }

private:
    static support::ChildOptions options(const std::string& home) {
        return {.set = {{"HOME", home},
                        {"XDG_CONFIG_HOME", home + "/config"},
                        {"XDG_DATA_HOME", home + "/data"},
                        {"XDG_CACHE_HOME", home + "/cache"},
                        {"XDG_STATE_HOME", home + "/state"}},
                .out = support::ChildStream::inherit()};
    }

    support::TempDir folder_;  // made before the program starts, removed after it ends
    support::ChildProcess process_;
};

TEST(WalkAhead, TheDumpOfAManyWidgetWindowIsTheSameAsReadElementByElement) {
    WidgetFactory factory;
    ASSERT_GT(factory.pid(), 0);
    platform::Accessibility& real = *platform::services().accessibility;
    std::optional<AX::Element> window;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!window && std::chrono::steady_clock::now() < deadline) {
        if (const auto app = real.application(factory.pid()))
            if (const auto windows = AX::windows(*app); !windows.empty() && AX::children(windows[0]).size() > 0)
                window = windows[0];
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(window) << "gtk3-widget-factory did not show its window";
    const AX::Point origin = AX::frame(*window)->origin();
    // The program builds its pages after it shows the window: the comparison starts once two dumps in a row
    // count the same elements.
    for (size_t last = 0; std::chrono::steady_clock::now() < deadline;) {
        const size_t count = Tree::dump(*window, origin, 8000, 80).nodes.size();
        if (count == last) break;
        last = count;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    const Tree::Dump fetchedAhead = Tree::dump(*window, origin, 8000, 80);
    UnannouncedWalks unannounced(real);
    platform::services().accessibility = &unannounced;
    const Tree::Dump elementByElement = Tree::dump(*window, origin, 8000, 80);
    platform::services().accessibility = &real;

    ASSERT_GT(fetchedAhead.nodes.size(), 100u);
    ASSERT_EQ(fetchedAhead.nodes.size(), elementByElement.nodes.size());
    for (size_t i = 0; i < fetchedAhead.nodes.size(); ++i)
        EXPECT_EQ(Tree::json(fetchedAhead.nodes[i]).dump(), Tree::json(elementByElement.nodes[i]).dump()) << "record " << i;
    EXPECT_EQ(fetchedAhead.truncated, elementByElement.truncated);
}

}  // namespace
