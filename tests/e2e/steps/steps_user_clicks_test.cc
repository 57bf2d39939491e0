// The user's own clicks in a recording of GNOME Terminal (GTK 3 and VTE): a quick click on a menu item,
// whose release chooses the item and closes the menu within a millisecond of the press, and a click on the
// terminal's screen. What the click hit is read by the test itself, from the accessibility bus and X11.

#include <gtest/gtest.h>

#include <filesystem>

#include "app_process.h"
#include "atspi_reader.h"

namespace {

using nlohmann::json;
using stepstest::Accessible;
using stepstest::PrivateHome;
using stepstest::describe;

constexpr const char* kTerminalServer = "/usr/libexec/gnome-terminal-server";
// The server is started by the test, with the private home, under an id of its own: the one the session bus
// would start for `gnome-terminal` runs with the bus's environment, not the test's.
constexpr const char* kAppId = "org.quorrel.TestTerminal";

// The centre of an object as its toolkit reports it, for xdotool.
std::vector<std::string> centreOf(const Accessible& object) {
    const auto extents = stepstest::screenExtentsOf(object);
    if (!extents) return {"0", "0"};
    return {std::to_string(extents->x + extents->width / 2), std::to_string(extents->y + extents->height / 2)};
}

void moveTo(const std::vector<std::string>& point) { support::runProgram({"xdotool", "mousemove", point[0], point[1]}); }

// The width of the terminal's X11 window (GNOME Terminal keeps 80 columns, so the window narrows as the
// text is zoomed out).
int windowWidth(pid_t pid) {
    const auto found = support::runProgram({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    const std::string id = found.out.substr(0, found.out.find('\n'));
    const auto geometry = support::runProgram({"xdotool", "getwindowgeometry", id}).out;
    const auto at = geometry.find("Geometry: ");
    return at == std::string::npos ? 0 : std::atoi(geometry.c_str() + at + 10);
}

TEST(UserClicksOnGnomeTerminal, AQuickClickOnAMenuItemIsLoggedAsTheItemAndAClickOnTheScreenAsTheTerminal) {
    ASSERT_TRUE(std::filesystem::exists(kTerminalServer)) << "install gnome-terminal (scripts/setup)";
    PrivateHome home;
    support::ChildProcess server({kTerminalServer, "--app-id", kAppId}, home.appOptions("server.out"));
    support::ToolOptions withHome;
    withHome.set = home.environment();
    // The client asks the server for a window and exits, once the server has its name on the bus.
    ASSERT_EQ(support::runProgram({"gdbus", "wait", "--session", "--timeout", "20", kAppId}).status, 0)
        << "the terminal server did not take its name on the session bus";
    ASSERT_EQ(support::runProgram({"gnome-terminal", "--app-id", kAppId, "--geometry=80x24+100+100"}, withHome).status, 0);
    // The application is asked afresh each time: libatspi may keep the children it was first given.
    const auto itemShown = [&](const std::string& role, const std::string& name) {
        const auto shown = [&] {
            return stepstest::isShowing(stepstest::findObject(stepstest::applicationOf(server.pid(), 1), role, name));
        };
        return stepstest::eventually(shown, true, 20);
    };
    ASSERT_TRUE(itemShown("menu", "View"))
        << "no menu bar on the accessibility bus";
    const Accessible app = stepstest::applicationOf(server.pid());
    ASSERT_TRUE(stepstest::findObject(app, "terminal")) << "no terminal on the accessibility bus";

    json job = stepstest::appJob("Terminal", home.path() + "/user.mov", json::array());
    job.erase("steps");
    job["launch"] = false;
    job["recordUser"] = true;
    job["durationSec"] = 60;
    job["stopFile"] = home.path() + "/stop";
    const auto recording = home.start(job);
    ASSERT_TRUE(recording->waitFor([](const json& line) { return line.value("message", "") == "Recording your actions"; },
                                   60))
        << recording->output() << recording->errors();

    // Opens View, rests on Zoom Out until it is highlighted, as a person does before clicking, and clicks it
    // with press and release back to back: the release chooses the item and the menu closes at once.
    const int widthBefore = windowWidth(server.pid());
    moveTo(centreOf(stepstest::findObject(app, "menu", "View")));
    support::runProgram({"xdotool", "click", "1"});
    ASSERT_TRUE(itemShown("menu item", "Zoom Out"));
    const Accessible zoomOut = stepstest::findObject(app, "menu item", "Zoom Out");
    moveTo(centreOf(zoomOut));
    ASSERT_TRUE(stepstest::eventually([&] { return stepstest::isSelected(zoomOut); }, true, 10));
    // A person's pause between seeing the item highlighted and pressing: the user's input, not a stand-in
    // for an event of the tool.
    stepstest::pauseSeconds(0.5);
    support::runProgram({"xdotool", "click", "1"});
    // The item ran: the text is smaller, and the window with it.
    const int widthAfter = stepstest::eventually([&] { return windowWidth(server.pid()) < widthBefore; }, true, 10)
                               ? windowWidth(server.pid())
                               : widthBefore;
    EXPECT_LT(widthAfter, widthBefore) << "Zoom Out did not run";

    // A click on the terminal's screen, once the menu is gone.
    ASSERT_FALSE(stepstest::eventually([&] { return stepstest::isShowing(zoomOut); }, false, 10));
    moveTo(centreOf(stepstest::findObject(app, "terminal")));
    support::runProgram({"xdotool", "click", "1"});

    std::FILE* stop = std::fopen((home.path() + "/stop").c_str(), "w");
    ASSERT_TRUE(stop);
    std::fclose(stop);
    support::ToolRun user;
    user.status = recording->wait(60);
    user.out = recording->output();
    user.err = recording->errors();
    ASSERT_EQ(user.status, 0) << describe(user);
    const json clicks = user.last()["clicks"];
    ASSERT_EQ(clicks.size(), 3u) << describe(user);
    EXPECT_EQ(clicks[0]["role"], "AXMenuBarItem") << clicks;
    EXPECT_EQ(clicks[0]["label"], "View") << clicks;
    EXPECT_EQ(clicks[1]["role"], "AXMenuItem") << clicks;
    EXPECT_EQ(clicks[1]["label"], "Zoom Out") << clicks;
    EXPECT_EQ(clicks[2]["role"], "AXTerminal") << clicks;
    home.endPrograms();
}

}  // namespace
