// GTK 4 programs from Debian driven through `quorrel-capture run` and `inspect`: GNOME Calculator and GNOME
// Text Editor. Their bridge measures extents from the window and names buttons by their label twice; every
// effect is read back by the test itself, from the accessibility bus, from X11 and from the movie.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app_process.h"
#include "atspi_reader.h"

// Last: Xlib defines macros (None, Bool, Status) that other headers use as names.
#include <X11/Xlib.h>

namespace {

using nlohmann::json;
using stepstest::Accessible;
using stepstest::PrivateHome;
using stepstest::StartedApp;
using stepstest::appJob;
using stepstest::describe;

// The mapped X11 windows of `pid`, by id.
std::vector<std::string> xWindowsOf(pid_t pid) {
    const auto found = support::runProgram({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    std::vector<std::string> ids;
    std::istringstream lines(found.out);
    for (std::string id; std::getline(lines, id);) ids.push_back(id);
    return ids;
}

// The largest X11 window of `pid` as xwininfo reports it: its position on the root and its size.
json xWindowOf(pid_t pid) {
    json largest;
    for (const std::string& id : xWindowsOf(pid)) {
        const auto info = support::runProgram({"xwininfo", "-id", id});
        int x = 0, y = 0, width = 0, height = 0;
        const auto read = [&](const char* key, int& value) {
            const size_t at = info.out.find(key);
            if (at != std::string::npos) std::sscanf(info.out.c_str() + at + std::strlen(key), "%d", &value);
        };
        read("Absolute upper-left X:", x);
        read("Absolute upper-left Y:", y);
        read("Width:", width);
        read("Height:", height);
        if (largest.is_null() || width * height > largest["width"].get<int>() * largest["height"].get<int>())
            largest = {{"x", x}, {"y", y}, {"width", width}, {"height", height}};
    }
    return largest;
}

json movieSize(const std::string& path) {
    const auto probe = support::runProgram(
        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height", "-of", "json", path});
    const json parsed = json::parse(probe.out, nullptr, false);
    if (parsed.is_discarded() || parsed["streams"].empty()) return nullptr;
    return {{"width", parsed["streams"][0]["width"]}, {"height", parsed["streams"][0]["height"]}};
}

using stepstest::holdsText;

// Whether a compositing manager owns the screen's _NET_WM_CM_S0 selection, as X11 tells.
bool compositingManagerRuns() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    const bool owned = XGetSelectionOwner(display, XInternAtom(display, "_NET_WM_CM_S0", False)) != None;
    XCloseDisplay(display);
    return owned;
}

void expectFractionsInside(const json& clicks) {
    for (const json& click : clicks) {
        EXPECT_GT(click["x"].get<double>(), 0) << click;
        EXPECT_LT(click["x"].get<double>(), 1) << click;
        EXPECT_GT(click["y"].get<double>(), 0) << click;
        EXPECT_LT(click["y"].get<double>(), 1) << click;
    }
}

TEST(StepsOnGtk4, CalculatorButtonsAreFoundByWhatTheyShowAndTheWindowIsRecordedAtTheAskedSize) {
    PrivateHome home;
    StartedApp calculator(home, {"gnome-calculator"}, "frame");
    ASSERT_TRUE(calculator.ready) << "gnome-calculator did not appear on the accessibility bus";
    const pid_t pid = calculator.process.pid();
    json run = appJob("org.gnome.Calculator", home.path() + "/sum.mov",
                   json::array({{{"action", "click"}, {"label", "7"}},
                                {{"action", "click"}, {"label", "+"}},
                                {{"action", "click"}, {"label", "8"}},
                                {{"action", "click"}, {"label", "="}}}));
    run["windowSize"] = {{"width", 400}, {"height", 560}};
    const auto sum = home.run(run);
    ASSERT_EQ(sum.status, 0) << describe(sum);
    EXPECT_TRUE(stepstest::eventually([&] { return holdsText(pid, "15"); }, true, 5));

    const json result = sum.last();
    std::vector<std::string> labels;
    for (const json& click : result["clicks"]) labels.push_back(click.value("label", ""));
    EXPECT_EQ(labels, (std::vector<std::string>{"7", "+", "8", "="}));
    expectFractionsInside(result["clicks"]);
    // The window as X11 has it, the result's window and the movie are all the size asked for.
    const json window = xWindowOf(pid);
    EXPECT_EQ(result["window"], window);
    EXPECT_EQ(window["width"], 400);
    EXPECT_EQ(window["height"], 560);
    EXPECT_EQ(movieSize(result["output"]), (json{{"width", 400}, {"height", 560}}));
}

TEST(StepsOnGtk4, TextEditorPointerClicksPopoverMenusStaticTextsAndTheInspectedWindowLandWhereTheyAre) {
    PrivateHome home;
    StartedApp editor(home, {"gnome-text-editor", "--ignore-session", "--standalone"}, "frame");
    ASSERT_TRUE(editor.ready) << "gnome-text-editor did not appear on the accessibility bus";
    const pid_t pid = editor.process.pid();

    // The View menu button offers no press action of its own: the pointer clicks it, where it is on the
    // screen, and its pop-over opens (a window of its own on X11; GTK 4.8 reports no "showing" state).
    const size_t windowsBefore = xWindowsOf(pid).size();
    const auto opened = home.run(appJob("org.gnome.TextEditor", home.path() + "/open.mov",
                                     json::array({{{"action", "click"}, {"role", "Button"}, {"label", "View"}}})));
    ASSERT_EQ(opened.status, 0) << describe(opened);
    expectFractionsInside(opened.last()["clicks"]);
    EXPECT_EQ(stepstest::eventually([&] { return xWindowsOf(pid).size(); }, windowsBefore + 1, 3), windowsBefore + 1);

    // The user's own click on that button, in a user recording, is logged as hitting it.
    const json frame = opened.last()["window"], toolClick = opened.last()["clicks"][0];
    const int x = static_cast<int>(frame["x"].get<double>() + toolClick["x"].get<double>() * frame["width"].get<double>());
    const int y = static_cast<int>(frame["y"].get<double>() + toolClick["y"].get<double>() * frame["height"].get<double>());
    json recordUser = appJob("org.gnome.TextEditor", home.path() + "/user.mov", json::array());
    recordUser.erase("steps");
    recordUser["recordUser"] = true;
    recordUser["durationSec"] = 3;
    const auto recording = home.start(recordUser);
    // The click is made once the tool listens: after it says it records the user's actions.
    ASSERT_TRUE(recording->waitFor([](const json& line) { return line.value("message", "") == "Recording your actions"; },
                                   60))
        << recording->output() << recording->errors();
    support::runProgram({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"});
    support::ToolRun user;
    user.status = recording->wait(60);
    user.out = recording->output();
    user.err = recording->errors();
    ASSERT_EQ(user.status, 0) << describe(user);
    ASSERT_FALSE(user.last()["clicks"].empty()) << describe(user);
    EXPECT_EQ(user.last()["clicks"][0]["role"], "AXButton") << user.last()["clicks"];
    EXPECT_EQ(user.last()["clicks"][0]["label"], "View") << user.last()["clicks"];

    // A pop-over item chosen by path, after the pop-over is closed again; a label found by its text.
    const auto chosen = home.run(appJob("org.gnome.TextEditor", home.path() + "/chosen.mov",
                                     json::array({{{"action", "press"}, {"key", "escape"}},
                                                  {{"action", "menu"}, {"path", {"View", "Line Numbers"}}},
                                                  {{"action", "click"}, {"role", "StaticText"}, {"label", "New Document"}}})));
    ASSERT_EQ(chosen.status, 0) << describe(chosen);
    // The editor keeps the choice in its settings (GSettings in a file of the private home).
    const auto lineNumbersOn = [&] {
        std::ifstream settings(home.path() + "/.config/glib-2.0/settings/keyfile");
        const std::string text((std::istreambuf_iterator<char>(settings)), std::istreambuf_iterator<char>());
        return text.find("show-line-numbers=true") != std::string::npos;
    };
    EXPECT_TRUE(stepstest::eventually(lineNumbersOn, true, 3));
    const json clicks = chosen.last()["clicks"];
    ASSERT_EQ(clicks.size(), 1u) << clicks;
    EXPECT_EQ(clicks[0]["role"], "AXStaticText");
    EXPECT_EQ(clicks[0]["label"], "New Document");
    expectFractionsInside(clicks);
    EXPECT_EQ(chosen.last()["preflight"]["deferred"][0],
              (json{{"step", 2}, {"role", "AXMenuItem"}, {"label", "Line Numbers"}, {"closestNow", json::array()}}));

    // inspect's window is the X11 window, with and without a compositor (openbox declares no frame extents,
    // so GTK 4.8 draws its own border either way and no shadow).
    for (const bool composited : {false, true}) {
        std::unique_ptr<support::ChildProcess> compositor;
        if (composited)
            compositor = std::make_unique<support::ChildProcess>(std::vector<std::string>{"xcompmgr", "-n"},
                                                                 home.appOptions("xcompmgr.out"));
        // The tool asks whether a compositing manager runs by the owner of its selection: waited for.
        if (composited) {
            ASSERT_TRUE(stepstest::eventually(compositingManagerRuns, true, 10)) << "xcompmgr took no _NET_WM_CM_S0";
        }
        support::ToolOptions options;
        options.set = home.environment();
        const std::string inspectJob = home.path() + "/inspect.json";
        std::FILE* file = std::fopen(inspectJob.c_str(), "w");
        std::fputs(R"({"app": "org.gnome.TextEditor", "launch": false, "maxNodes": 20})", file);
        std::fclose(file);
        const auto inspect = support::runTool({"inspect", inspectJob}, options);
        ASSERT_EQ(inspect.status, 0) << describe(inspect);
        json window = inspect.last()["window"];
        window.erase("title");
        EXPECT_EQ(window, xWindowOf(pid)) << (composited ? "with a compositor" : "without a compositor");
    }
}

// The shadow a window declares in _GTK_FRAME_EXTENTS (left, right, top, bottom), empty when none.
std::vector<int> declaredShadow(const std::string& window) {
    const std::string line = support::runProgram({"xprop", "-id", window, "_GTK_FRAME_EXTENTS"}).out;
    std::vector<int> sides(4);
    if (std::sscanf(line.c_str(), "_GTK_FRAME_EXTENTS(CARDINAL) = %d, %d, %d, %d", &sides[0], &sides[1], &sides[2],
                    &sides[3]) != 4)
        return {};
    return sides;
}

// Under a window manager that composites and advertises _GTK_FRAME_EXTENTS (xfwm4 here, run by
// `desktop-session --wm xfwm4`), GTK 4 draws an invisible shadow around its window inside the X window and
// declares it: the window the tool lists, places, inspects and records is the part inside the shadow.
// Text Editor's main menu sits behind its "Menu" menu button: a path starting there is walked like a menu
// bar's, and a first title the window has no button for fails before recording, naming the buttons it has.
TEST(StepsOnGtk4, TextEditorsMainMenuIsWalkedFromItsMenuButtonAndAMissingButtonFailsBeforeRecording) {
    PrivateHome home;
    StartedApp editor(home, {"gnome-text-editor", "--ignore-session", "--standalone"}, "frame");
    ASSERT_TRUE(editor.ready) << "gnome-text-editor did not appear on the accessibility bus";
    const pid_t pid = editor.process.pid();

    const std::string never = home.path() + "/never.mov";
    const auto missing = home.run(appJob("org.gnome.TextEditor", never,
                                      json::array({{{"action", "menu"}, {"path", {"Main Menu", "New Window"}}}})));
    EXPECT_EQ(missing.status, 1) << describe(missing);
    EXPECT_EQ(missing.last()["code"], "not_found");
    EXPECT_EQ(missing.last()["message"].get<std::string>().rfind(
                  "step 1 (menu): no menu item \"Main Menu\" at the window's buttons; closest: \"Menu\", ", 0),
              0u)
        << missing.last();
    for (const auto& line : missing.lines()) EXPECT_EQ(line.find("Recording"), std::string::npos) << line;
    EXPECT_FALSE(std::filesystem::exists(never));

    // Menu > New Window opens a second window of the editor, as the window system lists it.
    const size_t windowsBefore = xWindowsOf(pid).size();
    const auto chosen = home.run(appJob("org.gnome.TextEditor", home.path() + "/chosen.mov",
                                     json::array({{{"action", "menu"}, {"path", {"Menu", "New Window"}}}})));
    ASSERT_EQ(chosen.status, 0) << describe(chosen);
    EXPECT_EQ(stepstest::eventually([&] { return xWindowsOf(pid).size(); }, windowsBefore + 1, 5), windowsBefore + 1);
}

TEST(StepsOnGtk4UnderACompositingWindowManager, TheDeclaredShadowIsNoPartOfTheWindowItsPlacementOrItsMovie) {
    PrivateHome home;
    StartedApp editor(home, {"gnome-text-editor", "--ignore-session", "--standalone"}, "frame");
    ASSERT_TRUE(editor.ready) << "gnome-text-editor did not appear on the accessibility bus";
    const pid_t pid = editor.process.pid();
    ASSERT_EQ(xWindowsOf(pid).size(), 1u);
    const std::string xWindow = xWindowsOf(pid).front();
    ASSERT_EQ(declaredShadow(xWindow).size(), 4u) << "no shadow declared: run in desktop-session --wm xfwm4";

    json job = appJob("org.gnome.TextEditor", home.path() + "/placed.mov",
                      json::array({{{"action", "click"}, {"role", "Button"}, {"label", "View"}}}));
    job["windowSize"] = {{"width", 900}, {"height", 600}};
    const auto placed = home.run(job);
    ASSERT_EQ(placed.status, 0) << describe(placed);
    const json result = placed.last();
    EXPECT_EQ(result["window"], (json{{"x", 270}, {"y", 150}, {"width", 900}, {"height", 600}}));
    EXPECT_EQ(movieSize(result["output"]), (json{{"width", 900}, {"height", 600}}));
    expectFractionsInside(result["clicks"]);

    // X11's window is the visible one grown by the shadow it declares.
    const std::vector<int> shadow = declaredShadow(xWindow);
    ASSERT_EQ(shadow.size(), 4u);
    const json outer = xWindowOf(pid);
    EXPECT_EQ(outer["x"].get<int>() + shadow[0], 270);
    EXPECT_EQ(outer["y"].get<int>() + shadow[2], 150);
    EXPECT_EQ(outer["width"].get<int>() - shadow[0] - shadow[1], 900);
    EXPECT_EQ(outer["height"].get<int>() - shadow[2] - shadow[3], 600);

    // `windows` and `inspect` give the same frame.
    support::ToolOptions options;
    options.set = home.environment();
    const json listed = support::runTool({"windows", "--app", "org.gnome.TextEditor"}, options).last();
    ASSERT_EQ(listed["windows"].size(), 1u) << listed;
    EXPECT_EQ(listed["windows"][0]["frame"], result["window"]);
    const auto inspect = support::runTool(
        {"inspect", home.path() + "/inspect.json"},
        [&] {
            std::ofstream(home.path() + "/inspect.json") << R"({"app": "org.gnome.TextEditor", "launch": false, "maxNodes": 5})";
            return options;
        }());
    ASSERT_EQ(inspect.status, 0) << describe(inspect);
    json window = inspect.last()["window"];
    window.erase("title");
    EXPECT_EQ(window, result["window"]);
}

}  // namespace
