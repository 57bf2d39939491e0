// Chromium (Debian's chromium) launched cold by the built tool from a desktop entry of the private home, which
// turns its accessibility tree on (--force-renderer-accessibility) and gives it a private profile. Its page is
// inspected, a field typed into and a button clicked; the effects are read back from the window's title on
// X11, from the accessibility bus and from the movie.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app_process.h"
#include "atspi_reader.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using stepstest::Accessible;
using stepstest::PrivateHome;
using stepstest::describe;

// A button whose handler names the document after the field's text.
constexpr const char* kPage = R"(<!doctype html>
<html><head><title>Start</title></head><body>
<h1>Greeting</h1>
<input id="name" aria-label="Your name" placeholder="Name">
<button onclick="document.title = 'Hello ' + document.getElementById('name').value">Greet</button>
</body></html>
)";

// Chromium in a private home: a profile that has had its first run (the "First Run" sentinel), and an entry
// named like Debian's that shadows it, starting Chromium with its tree on, without the network services this
// machine cannot reach, and as root (no sandbox).
class ChromiumHome {
public:
    ChromiumHome() {
        fs::create_directories(profile());
        std::ofstream(profile() + "/First Run");
        std::ofstream(home_.path() + "/page.html") << kPage;
        const std::string entries = home_.path() + "/.local/share/applications";
        fs::create_directories(entries);
        std::ofstream(entries + "/chromium.desktop")
            << "[Desktop Entry]\nType=Application\nName=Chromium Web Browser\nStartupWMClass=chromium\n"
               "Exec=/usr/bin/chromium --force-renderer-accessibility --user-data-dir="
            << profile()
            << " --no-first-run --no-sandbox --disable-gpu --disable-background-networking"
               " --disable-component-update --disable-sync --disable-quic file://"
            << home_.path() << "/page.html\n";
    }
    // The browser, its zygotes, renderers and helpers.
    ~ChromiumHome() { home_.endPrograms(); }
    const PrivateHome& home() const { return home_; }
    std::string profile() const { return home_.path() + "/profile"; }

    support::ToolRun inspect(const json& job) const {
        const std::string path = home_.path() + "/inspect.json";
        std::ofstream(path) << job.dump();
        support::ToolOptions options;
        options.set = home_.environment();
        options.timeoutSeconds = 60;
        return support::runTool({"inspect", path}, options);
    }

    support::ToolRun windows() const {
        support::ToolOptions options;
        options.set = home_.environment();
        return support::runTool({"windows", "--app", "chromium"}, options);
    }

private:
    PrivateHome home_;
};

// Whether one of the mapped X11 windows of `pid` has the title `title` (_NET_WM_NAME).
bool hasWindowTitled(pid_t pid, const std::string& title) {
    const auto ids = support::runProgram({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    std::istringstream lines(ids.out);
    for (std::string id; std::getline(lines, id);) {
        const auto read = support::runProgram({"xprop", "-id", id, "_NET_WM_NAME"});
        if (read.out.find("\"" + title + "\"") != std::string::npos) return true;
    }
    return false;
}

using stepstest::movieFrames;

const json* nodeWith(const json& nodes, const std::string& role, const std::string& key, const std::string& value) {
    for (const json& node : nodes)
        if (node.value("role", "") == role && node.value(key, "") == value) return &node;
    return nullptr;
}

TEST(Chromium, APageIsInspectedTypedIntoAndItsButtonClicked) {
    ChromiumHome chromium;

    // Launched cold from the entry, and named by it.
    const auto launched = chromium.inspect({{"app", "chromium"}, {"maxNodes", 10}});
    ASSERT_EQ(launched.status, 0) << describe(launched);
    EXPECT_EQ(launched.last()["app"], "Chromium Web Browser");
    EXPECT_EQ(launched.last()["bundleId"], "chromium");
    const pid_t pid = launched.last()["pid"].get<pid_t>();
    // Chromium declares _GTK_FRAME_EXTENTS without a compositor too, and paints its border there: the window
    // listed is the one inspected, border included.
    const json listed = chromium.windows().last();
    ASSERT_EQ(listed["windows"].size(), 1u) << listed;
    json window = launched.last()["window"];
    window.erase("title");
    EXPECT_EQ(listed["windows"][0]["frame"], window);

    // The page's objects are on the bus once it has loaded.
    const Accessible app = stepstest::applicationOf(pid);
    const bool loaded = stepstest::eventually(
        [&] { return static_cast<bool>(stepstest::findObject(app, "push button", "Greet")); }, true, 15);
    ASSERT_TRUE(loaded) << "the page's button never reached the accessibility bus";

    // The dump holds the page's field and button, under the roles and names a script gives them.
    const auto inspected = chromium.inspect({{"app", "chromium"}, {"launch", false}, {"maxNodes", 2000}, {"maxDepth", 40}});
    ASSERT_EQ(inspected.status, 0) << describe(inspected);
    const json nodes = inspected.last()["nodes"];
    const json* button = nodeWith(nodes, "AXButton", "title", "Greet");
    ASSERT_NE(button, nullptr) << nodes.dump();
    EXPECT_EQ((*button)["actions"], (json{"AXPress"}));
    EXPECT_NE(nodeWith(nodes, "AXTextField", "description", "Your name"), nullptr) << nodes.dump();

    // Typed into the field found by its label, then the button clicked: the page names itself after the text.
    json job = stepstest::appJob("chromium", chromium.home().path() + "/greet.mov",
                                 json::array({{{"action", "type"}, {"role", "TextField"}, {"label", "Your name"}, {"value", "Ada"}},
                                              {{"action", "click"}, {"role", "Button"}, {"label", "Greet"}}}));
    const auto run = chromium.home().run(job);
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.last()["preflight"]["checked"], (json{1, 2}));
    ASSERT_EQ(run.last()["clicks"].size(), 2u) << describe(run);
    EXPECT_EQ(run.last()["clicks"][1]["label"], "Greet");
    EXPECT_TRUE(stepstest::eventually([&] { return hasWindowTitled(pid, "Hello Ada - Chromium"); }, true, 5));
    EXPECT_TRUE(stepstest::eventually(
        [&] { return static_cast<bool>(stepstest::findObject(app, "document web", "Hello Ada")); }, true, 5));
    EXPECT_EQ(movieFrames(run.last()["output"]), run.last()["frames"].get<int>());
}

}  // namespace
