// The inspect command end to end in the virtual desktop: the fixture application and mousepad (a
// third-party GTK application with a menu bar) inspected by the built tool.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "support/child_process.h"
#include "support/fixture_process.h"
#include "support/tool_process.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using support::FixtureProcess;

constexpr const char* kFixtureId = "org.quorrel.CaptureFixture";

// A private home for the tool and what it starts: settings, caches and the fixture's desktop entry live
// here, so no run depends on what an earlier one left.
class PrivateHome {
public:
    PrivateHome() {
        for (const char* sub : {"config", "data/applications", "cache", "state"})
            fs::create_directories(dir_.path() + "/" + sub);
        std::ofstream(dir_.path() + "/data/applications/" + kFixtureId + ".desktop")
            << "[Desktop Entry]\nType=Application\nName=Quorrel Fixture Entry\nExec=" << QC_FIXTURE_APP
            << " --title \"Entry Fixture\"\n";
    }
    std::map<std::string, std::string> environment() const {
        return {{"HOME", dir_.path()},
                {"XDG_CONFIG_HOME", dir_.path() + "/config"},
                {"XDG_DATA_HOME", dir_.path() + "/data"},
                {"XDG_CACHE_HOME", dir_.path() + "/cache"},
                {"XDG_STATE_HOME", dir_.path() + "/state"}};
    }
    support::ToolRun run(const std::vector<std::string>& args, double timeoutSeconds = 60) const {
        support::ToolOptions options;
        options.set = environment();
        options.timeoutSeconds = timeoutSeconds;
        return support::runTool(args, options);
    }
    support::ToolRun inspect(const json& job, double timeoutSeconds = 60) const {
        return run({"inspect", dir_.write("job.json", job.dump())}, timeoutSeconds);
    }

private:
    support::TempDir dir_;
};

// Whether a process named `name` runs in this test's desktop session (other sessions may run side by side on
// the machine; every process started inside one carries its marker in the environment).
bool processRuns(const std::string& name) {
    const char* session = std::getenv("QC_DESKTOP_SESSION");
    const std::string marker = std::string("QC_DESKTOP_SESSION=") + (session ? session : "");
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream comm(entry.path() / "comm");
        std::string command;
        if (!std::getline(comm, command) || command != name) continue;
        std::ifstream environ(entry.path() / "environ");
        std::string variable;
        while (std::getline(environ, variable, '\0'))
            if (variable == marker) return true;
    }
    return false;
}

// The windows command's entry for `pid`, as the host would read it.
json windowsEntry(const PrivateHome& home, int pid) {
    const auto run = home.run({"windows"});
    for (const json& window : run.last().value("windows", json::array()))
        if (window.value("pid", 0) == pid) return window;
    return nullptr;
}

// Checks shared by every inspected window: frames inside the window (a few pixels of slack for borders; the
// content of scroll areas may reach past it), no hidden action, no padded title.
void expectReadableDump(const json& result) {
    const double width = result["window"]["width"], height = result["window"]["height"];
    ASSERT_GT(width, 0);
    ASSERT_FALSE(result["nodes"].empty());
    EXPECT_EQ(result["nodes"][0]["depth"], 0);
    EXPECT_EQ(result["nodes"][0]["role"], "AXWindow");
    EXPECT_EQ(result["nodes"][0]["frame"]["x"], 0);
    EXPECT_EQ(result["nodes"][0]["frame"]["y"], 0);
    int framed = 0;
    std::vector<std::string> roles;  // the roles of the node's ancestors and its own, by depth
    for (const json& node : result["nodes"]) {
        roles.resize(node["depth"].get<size_t>());
        const bool scrolled = std::find(roles.begin(), roles.end(), "AXScrollArea") != roles.end();
        roles.push_back(node.value("role", ""));
        for (const json& action : node.value("actions", json::array())) {
            EXPECT_NE(action, "AXShowMenu") << node.dump();
            EXPECT_NE(action, "AXScrollToVisible") << node.dump();
        }
        for (const char* key : {"title", "label"}) {
            if (!node.contains(key)) continue;
            const std::string text = node[key];
            EXPECT_FALSE(text.empty()) << node.dump();
            EXPECT_TRUE(text.front() != ' ' && text.back() != ' ') << "padded " << key << ": " << node.dump();
        }
        if (!node.contains("frame") || scrolled) continue;
        const json& frame = node["frame"];
        if (frame["width"] == 0 || frame["height"] == 0) continue;
        ++framed;
        constexpr double kSlack = 2;
        EXPECT_GE(frame["x"].get<double>(), -kSlack) << node.dump();
        EXPECT_GE(frame["y"].get<double>(), -kSlack) << node.dump();
        EXPECT_LE(frame["x"].get<double>() + frame["width"].get<double>(), width + kSlack) << node.dump();
        EXPECT_LE(frame["y"].get<double>() + frame["height"].get<double>(), height + kSlack) << node.dump();
    }
    EXPECT_GT(framed, 3);
    for (const json& title : result["menuBar"]) {
        const std::string text = title;
        EXPECT_TRUE(!text.empty() && text.front() != ' ' && text.back() != ' ') << result["menuBar"].dump();
    }
}

TEST(InspectTool, TheFixtureIsReportedWithItsEntryItsWindowAndADumpRelativeToIt) {
    PrivateHome home;
    FixtureProcess fixture({"--title", "Inspected Fixture"});
    ASSERT_TRUE(fixture.ready());
    const auto run = home.inspect({{"app", kFixtureId}});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const json result = run.last();

    std::set<std::string> keys;
    for (const auto& [key, value] : result.items()) keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"type", "app", "bundleId", "pid", "window", "windows", "menuBar", "nodes",
                                           "truncated"}));
    EXPECT_EQ(result["app"], "Quorrel Fixture Entry");
    EXPECT_EQ(result["bundleId"], kFixtureId);
    EXPECT_EQ(result["pid"], fixture.pid());
    EXPECT_EQ(result["window"]["title"], "Inspected Fixture");
    EXPECT_EQ(result["windows"], json{"Inspected Fixture"});
    ASSERT_FALSE(result["menuBar"].empty());
    EXPECT_EQ(result["menuBar"][0], "File");
    EXPECT_EQ(result["truncated"], false);
    expectReadableDump(result);

    // The identity is the one the windows command gives the same process.
    const json listed = windowsEntry(home, fixture.pid());
    ASSERT_FALSE(listed.is_null());
    EXPECT_EQ(result["app"], listed["app"]);
    EXPECT_EQ(result["bundleId"], listed["bundleId"]);

    // A button's frame is its place inside the window.
    json save;
    for (const json& node : result["nodes"])
        if (node.value("role", "") == "AXButton" && node.value("title", "") == "Save") save = node;
    ASSERT_FALSE(save.is_null());
    EXPECT_GT(save["frame"]["y"].get<double>(), 20);  // below the menu bar, not at the screen's top

    // Limits below the bounds are raised: 10 records, the rest left out.
    const auto small = home.inspect({{"app", kFixtureId}, {"maxNodes", 3}, {"maxDepth", 0}, {"launch", false}});
    ASSERT_EQ(small.status, 0) << small.out << small.err;
    const json smallResult = small.last();
    EXPECT_LE(smallResult["nodes"].size(), 10u);
    EXPECT_EQ(smallResult["truncated"], true);
    for (const json& node : smallResult["nodes"]) EXPECT_LE(node["depth"].get<int>(), 1);
}

TEST(InspectTool, MousepadIsLaunchedAndShowsItsMenuBarAndWindow) {
    PrivateHome home;
    const auto run = home.inspect({{"app", "org.xfce.mousepad"}}, 90);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const json result = run.last();
    const int pid = result.value("pid", 0);
    EXPECT_EQ(result["app"], "Mousepad");
    EXPECT_EQ(result["bundleId"], "org.xfce.mousepad");
    const json menus = result["menuBar"];
    EXPECT_GE(menus.size(), 4u) << menus.dump();
    EXPECT_EQ(menus[0], "File");
    EXPECT_NE(std::find(menus.begin(), menus.end(), "Edit"), menus.end()) << menus.dump();
    EXPECT_NE(std::find(menus.begin(), menus.end(), "Help"), menus.end()) << menus.dump();
    EXPECT_NE(result["window"]["title"].get<std::string>().find("Mousepad"), std::string::npos);
    bool textArea = false;
    for (const json& node : result["nodes"]) textArea |= node.value("role", "") == "AXTextArea";
    EXPECT_TRUE(textArea) << result["nodes"].dump();
    expectReadableDump(result);

    const json listed = windowsEntry(home, pid);
    ASSERT_FALSE(listed.is_null());
    EXPECT_EQ(result["app"], listed["app"]);
    EXPECT_EQ(result["bundleId"], listed["bundleId"]);
    if (pid > 0) kill(pid, SIGTERM);
}

// A window whose accessible name is empty is titled as its title bar shows it, in "window", in
// "windows" and in the windows command alike.
TEST(InspectTool, AWindowWithoutAnAccessibleNameHasTheTitleItsTitleBarShows) {
    PrivateHome home;
    const auto run = home.inspect({{"app", "gtk3-widget-factory"}, {"maxNodes", 5}}, 90);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const json result = run.last();
    const int pid = result.value("pid", 0);
    const json listed = windowsEntry(home, pid);
    ASSERT_FALSE(listed.is_null());
    EXPECT_EQ(listed["title"], "gtk3-widget-factory");
    EXPECT_EQ(result["window"]["title"], listed["title"]);
    EXPECT_EQ(result["windows"], json{listed["title"]});
    if (pid > 0) kill(pid, SIGTERM);
}

TEST(InspectTool, LaunchFalseOnAStoppedApplicationLaunchesNothing) {
    PrivateHome home;
    // The fixture ran and was stopped: it is found by its entry's name no more, and nothing starts it again.
    auto fixture = std::make_unique<FixtureProcess>(std::vector<std::string>{"--title", "Stopped Fixture"});
    ASSERT_TRUE(fixture->ready());
    const auto running = home.inspect({{"app", "Quorrel Fixture Entry"}, {"launch", false}, {"maxNodes", 10}});
    ASSERT_EQ(running.status, 0) << running.out << running.err;
    EXPECT_EQ(running.last()["pid"], fixture->pid());
    fixture.reset();
    ASSERT_FALSE(processRuns("qc_fixture_app"));

    const auto stopped = home.inspect({{"app", "Quorrel Fixture Entry"}, {"launch", false}});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.last(),
              (json{{"type", "error"}, {"message", "Quorrel Fixture Entry is not running"}, {"code", "not_found"}}));

    // An installed application that never ran.
    ASSERT_FALSE(processRuns("galculator"));
    const auto never = home.inspect({{"app", "galculator"}, {"launch", false}});
    EXPECT_EQ(never.status, 1);
    EXPECT_EQ(never.last(), (json{{"type", "error"}, {"message", "galculator is not running"}, {"code", "not_found"}}));
    usleep(500000);
    EXPECT_FALSE(processRuns("galculator"));
    EXPECT_FALSE(processRuns("qc_fixture_app"));
}

TEST(InspectTool, AnUnmatchedWindowTitleFailsAfterAboutTenSecondsListingTheWindows) {
    PrivateHome home;
    FixtureProcess fixture({"--title", "Titled \"Fixture\""});
    ASSERT_TRUE(fixture.ready());
    const double start = support::nowSeconds();
    const auto run = home.inspect({{"app", kFixtureId}, {"windowTitle", "Preferences"}, {"launch", false}});
    const double seconds = support::nowSeconds() - start;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.last(), (json{{"type", "error"},
                                {"code", "not_found"},
                                {"message",
                                 "no window titled like \"Preferences\" for org.quorrel.CaptureFixture; "
                                 "windows: [\"Titled \\\"Fixture\\\"\"]"}}));
    EXPECT_GE(seconds, 9.5);
    EXPECT_LT(seconds, 30);
}

}  // namespace
