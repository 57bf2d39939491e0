// Qt programs from Debian driven through `quorrel-capture run` and `inspect`: FeatherPad 1.3 (Qt 5.15) and
// CuteMaze 1.3 (Qt 6.4). Qt's bridge titles the menu bar's menus with the menu-item role and gives the items of
// a closed menu no visible state; every effect is read back by the test itself, from the accessibility bus and
// from the movie.

#include <atspi/atspi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app_process.h"
#include "atspi_reader.h"

namespace {

using nlohmann::json;
using stepstest::Accessible;
using stepstest::PrivateHome;
using stepstest::StartedApp;
using stepstest::appJob;
using stepstest::describe;

using stepstest::holdsText;
using stepstest::textsOf;

using stepstest::movieFrames;

// Whether the object can be used now (the "sensitive" state).
bool isSensitive(const Accessible& object) {
    AtspiStateSet* states = atspi_accessible_get_state_set(object.get());
    const bool sensitive = states && atspi_state_set_contains(states, ATSPI_STATE_SENSITIVE);
    if (states) g_object_unref(states);
    return sensitive;
}

// `quorrel-capture inspect` on `job`, with the private home's environment.
support::ToolRun inspect(const PrivateHome& home, const json& job) {
    const std::string path = home.path() + "/inspect.json";
    std::ofstream(path) << job.dump();
    support::ToolOptions options;
    options.set = home.environment();
    return support::runTool({"inspect", path}, options);
}

// The window manager's frame around the largest visible X11 window of `pid`: the window's place (xwininfo)
// widened by the frame extents the window manager declares on it (_NET_FRAME_EXTENTS: left, right, top,
// bottom).
json managerFrameOf(pid_t pid) {
    const auto found = support::runProgram({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    json largest;
    std::istringstream ids(found.out);
    for (std::string id; std::getline(ids, id);) {
        const std::string info = support::runProgram({"xwininfo", "-id", id}).out;
        int x = 0, y = 0, width = 0, height = 0, left = 0, right = 0, top = 0, bottom = 0;
        const auto read = [&](const char* key, int& value) {
            const size_t at = info.find(key);
            if (at != std::string::npos) value = std::atoi(info.c_str() + at + std::strlen(key));
        };
        read("Absolute upper-left X:", x);
        read("Absolute upper-left Y:", y);
        read("Width:", width);
        read("Height:", height);
        const std::string extents = support::runProgram({"xprop", "-id", id, "_NET_FRAME_EXTENTS"}).out;
        const size_t equals = extents.find('=');
        if (equals != std::string::npos)
            std::sscanf(extents.c_str() + equals + 1, "%d, %d, %d, %d", &left, &right, &top, &bottom);
        const json frame = {{"x", x - left}, {"y", y - top}, {"width", width + left + right},
                            {"height", height + top + bottom}};
        if (largest.is_null() || width * height > largest["width"].get<int>() * largest["height"].get<int>())
            largest = frame;
    }
    return largest;
}

bool hasNode(const json& nodes, const std::string& role, const std::string& title = "") {
    for (const json& node : nodes)
        if (node.value("role", "") == role && (title.empty() || node.value("title", "") == title)) return true;
    return false;
}

// FeatherPad keeps its settings in ~/.config/featherpad: a private home starts it as on a first start, which
// asks nothing.
TEST(StepsOnQt5, FeatherPadIsTypedIntoItsMenuItemsChosenByPathAndItsButtonsPressed) {
    PrivateHome home;
    StartedApp featherpad(home, {"featherpad", "--standalone"}, "frame");
    ASSERT_TRUE(featherpad.ready) << "FeatherPad did not appear on the accessibility bus";
    const pid_t pid = featherpad.process.pid();

    // The menu bar's titles as the bar shows them, and the editor's text area, in the dump.
    const auto inspected = inspect(home, {{"app", "FeatherPad"}, {"launch", false}, {"maxNodes", 400}});
    ASSERT_EQ(inspected.status, 0) << describe(inspected);
    EXPECT_EQ(inspected.last()["menuBar"], (json{"File", "Edit", "Options", "Search", "Help"}));
    EXPECT_TRUE(hasNode(inspected.last()["nodes"], "AXTextArea")) << inspected.last()["nodes"].dump();

    // Typed into the text area found by role; then Edit > Select All and Edit > To Upper Case, written in
    // part and in another case, chosen through menus that are closed when the run starts.
    const std::string typed = "hello from qt";
    const auto run = home.run(appJob("FeatherPad", home.path() + "/featherpad.mov",
                                     json::array({{{"action", "type"}, {"role", "TextArea"}, {"value", typed}},
                                                  {{"action", "menu"}, {"path", {"Edit", "Select All"}}},
                                                  {{"action", "menu"}, {"path", {"edit", "upper"}}}})));
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.last()["preflight"], (json{{"checked", {1, 2, 3}}, {"deferred", json::array()}}));
    EXPECT_TRUE(stepstest::eventually([&] { return holdsText(pid, "HELLO FROM QT"); }, true, 5))
        << "texts now: " << json(textsOf(pid)).dump();
    EXPECT_EQ(movieFrames(run.last()["output"]), run.last()["frames"].get<int>());

    // One window everywhere: Qt measures its top-level without the window manager's frame, which `windows`,
    // the run's window and the movie include; inspect's window (and so its nodes' frames) is that frame too.
    const json frame = managerFrameOf(pid);
    json inspectedWindow = inspected.last()["window"];
    inspectedWindow.erase("title");
    EXPECT_EQ(inspectedWindow, frame);
    EXPECT_EQ(run.last()["window"], frame);
    const auto listed = support::runTool({"windows"});
    json listedFrame;
    const json listedResult = listed.last();
    for (const json& window : listedResult["windows"])
        if (window.value("pid", 0) == pid) listedFrame = window["frame"];
    EXPECT_EQ(listedFrame, frame) << describe(listed);
    // The movie's size is the window's, made even for the encoder.
    const auto size = support::runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                           "stream=width,height", "-of", "csv=p=0", run.last()["output"]});
    const auto even = [](const json& length) { return std::to_string((length.get<int>() + 1) / 2 * 2); };
    EXPECT_EQ(size.out, even(frame["width"]) + "," + even(frame["height"]) + "\n");

    // A tool bar button pressed: the jump bar opens with its line field focused, which takes the typing.
    const auto jump = home.run(appJob("FeatherPad", home.path() + "/jump.mov",
                                      json::array({{{"action", "click"}, {"role", "Button"}, {"label", "Jump to"}},
                                                   {{"action", "type"}, {"value", "1"}}})));
    ASSERT_EQ(jump.status, 0) << describe(jump);
    EXPECT_EQ(jump.last()["clicks"][0]["label"], "Jump to");
    const Accessible app = stepstest::applicationOf(pid);
    EXPECT_EQ(stepstest::eventually([&] { return stepstest::textOf(stepstest::findObject(app, "spin button")); },
                                    std::optional<std::string>("1"), 5),
              std::optional<std::string>("1"));

    // A title that the closed menu does not have fails before recording, naming its nearest items.
    const auto missing = home.run(appJob("FeatherPad", home.path() + "/missing.mov",
                                         json::array({{{"action", "menu"}, {"path", {"Edit", "Select Nothing"}}}})));
    EXPECT_EQ(missing.status, 1) << describe(missing);
    EXPECT_EQ(missing.out.find("\"Recording "), std::string::npos) << describe(missing);
    EXPECT_NE(missing.out.find(R"(step 1 (menu): no menu item \"Select Nothing\" at Edit; closest: \"Select All\")"),
              std::string::npos)
        << describe(missing);
}

// CuteMaze opens at its largest zoom, its Zoom In button disabled: View > Zoom Out enables it.
TEST(StepsOnQt6, CuteMazeMenuItemIsChosenByPathAndTheMenuBarIsListed) {
    PrivateHome home;
    StartedApp cutemaze(home, {"/usr/games/cutemaze"}, "frame");
    ASSERT_TRUE(cutemaze.ready) << "CuteMaze did not appear on the accessibility bus";
    const pid_t pid = cutemaze.process.pid();

    const auto inspected = inspect(home, {{"app", "CuteMaze"}, {"launch", false}, {"maxNodes", 100}});
    ASSERT_EQ(inspected.status, 0) << describe(inspected);
    EXPECT_EQ(inspected.last()["menuBar"], (json{"Game", "View", "Settings", "Help"}));

    const Accessible app = stepstest::applicationOf(pid);
    const Accessible zoomIn = stepstest::findObject(app, "push button", "Zoom In");
    ASSERT_TRUE(zoomIn) << "no Zoom In button in CuteMaze's tool bar";
    ASSERT_FALSE(isSensitive(zoomIn));
    const auto run = home.run(appJob("CuteMaze", home.path() + "/cutemaze.mov",
                                     json::array({{{"action", "menu"}, {"path", {"View", "Zoom Out"}}}})));
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.last()["preflight"]["checked"], (json{1}));
    EXPECT_TRUE(stepstest::eventually([&] { return isSensitive(zoomIn); }, true, 5));
    EXPECT_EQ(movieFrames(run.last()["output"]), run.last()["frames"].get<int>());
}

}  // namespace
