// Which window a run records, and how long it looks for it: window-manager frames, programs without an
// accessibility tree, and the one time limit for launching and finding the window.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "run_desktop.h"
#include "support/fixture_process.h"

namespace {

using nlohmann::json;
using runtest::RunFolder;

double secondsOf(const std::function<void()>& body) {
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void expectMovieOfTheWindow(const json& result) {
    EXPECT_EQ(result["windowInRecording"],
              (json{{"x", 0}, {"y", 0}, {"width", result["window"]["width"]}, {"height", result["window"]["height"]}}));
    // The movie is the window; an odd side is coded one pixel larger.
    auto even = [](const json& side) { return (side.get<int>() + 1) / 2 * 2; };
    EXPECT_EQ(result["width"], even(result["window"]["width"]));
    EXPECT_EQ(result["height"], even(result["window"]["height"]));
    const json movie = runtest::probeMovie(result["output"].get<std::string>());
    ASSERT_FALSE(movie.is_null());
    EXPECT_EQ(movie["width"], result["width"]);
    EXPECT_EQ(movie["height"], result["height"]);
}

TEST(RunTargets, AWindowWithAHeaderBarIsPlacedAndRecordedAtExactlyTheRequestedSize) {
    RunFolder folder;
    const auto run = folder.run({{"app", "gtk3-widget-factory"},
                                 {"out", folder.path() + "/factory.mov"},
                                 {"windowSize", {{"width", 1400}, {"height", 820}}},
                                 {"settleMs", 500},
                                 {"tailMs", 0}});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const json result = run.last();
    EXPECT_EQ(result["window"], (json{{"x", 20}, {"y", 40}, {"width", 1400}, {"height", 820}}));
    expectMovieOfTheWindow(result);
    folder.endApplications();
}

TEST(RunTargets, ClickFractionsOfAWindowRecordingAreMeasuredInTheFrame) {
    RunFolder folder;
    support::FixtureProcess fixture({"--title", "Framed Clicks Fixture"});
    ASSERT_TRUE(fixture.ready());
    const json save = fixture.widget("Save");
    ASSERT_FALSE(save.is_null());
    const double x = save["x"].get<double>() + save["width"].get<double>() / 2;
    const double y = save["y"].get<double>() + save["height"].get<double>() / 2;
    const std::string stop = folder.path() + "/stop";
    auto tool = folder.start({{"app", runtest::kFixtureId},
                              {"recordUser", true},
                              {"stopFile", stop},
                              {"out", folder.path() + "/clicks.mov"},
                              {"durationSec", 60},
                              {"tailMs", 300}});
    ASSERT_TRUE(
        tool->waitFor([](const json& line) { return line.value("message", "") == "Recording your actions"; }, 60));
    runtest::clickAt(x, y);
    ASSERT_TRUE(fixture.waitFor([](const json& line) {
        return line.value("event", "") == "clicked" && line.value("widget", "") == "Save";
    })) << "the click did not reach the fixture";
    std::ofstream(stop).flush();
    const auto result = tool->waitFor([](const json& line) { return line.value("type", "") == "result"; }, 30);
    ASSERT_TRUE(result) << "no result line";
    const json window = (*result)["window"];
    runtest::expectInside(fixture.widget("window"), window);
    expectMovieOfTheWindow(*result);
    ASSERT_EQ((*result)["clicks"].size(), 1u);
    const json click = (*result)["clicks"][0];
    const double width = window["width"].get<double>(), height = window["height"].get<double>();
    EXPECT_NEAR(click["x"].get<double>(), (x - window["x"].get<double>()) / width, 1 / width);
    EXPECT_NEAR(click["y"].get<double>(), (y - window["y"].get<double>()) / height, 1 / height);
    EXPECT_EQ(click["label"], "Save");
}

TEST(RunTargets, AProgramWithoutAnAccessibilityTreeIsRecordedByItsProcess) {
    RunFolder folder;
    folder.addEntry("org.quorrel.PlainMessage",
                    "Name=Plain Message\nExec=xmessage -geometry 320x120+200+200 \"no accessibility here\"\n");
    double seconds = 0;
    support::ToolRun run;
    seconds = secondsOf([&] {
        run = folder.run(
            {{"app", "Plain Message"}, {"out", folder.path() + "/plain.mov"}, {"settleMs", 0}, {"tailMs", 0}});
    });
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_LT(seconds, 14) << "found by process, not at the end of the window wait";
    const json result = run.last();
    EXPECT_EQ(result["windowTitle"], "xmessage");
    EXPECT_EQ(result["preflight"], (json{{"checked", json::array()}, {"deferred", json::array()}}));
    // The frame the window manager drew around the 320 × 120 client.
    EXPECT_GT(result["window"]["width"].get<double>(), 320);
    EXPECT_GT(result["window"]["height"].get<double>(), 120);
    expectMovieOfTheWindow(result);

    // Steps without a target act on it; a target is never found, so a step that needs one fails with its
    // own message, before recording when nothing could have changed the window, during the run otherwise.
    const auto early = folder.run({{"app", "Plain Message"},
                                   {"out", folder.path() + "/early.mov"},
                                   {"steps", json::array({{{"action", "click"}, {"label", "okay"}}})}});
    EXPECT_EQ(early.status, 1);
    EXPECT_EQ(early.last(), (json{{"type", "error"},
                                  {"message", "step 1 (click): no element with role * and label \"okay\" in the "
                                              "window before recording; closest: . capture_inspect lists the "
                                              "window's elements."},
                                  {"code", "not_found"}}));
    EXPECT_TRUE(runtest::progressLine(early, "Recording xmessage").is_null());
    // Standard error says why nothing can be found in it.
    EXPECT_NE(early.err.find("Plain Message: its windows are on screen, but it exposes no accessibility tree"),
              std::string::npos)
        << early.err;
    support::ToolOptions withFolder;
    withFolder.set = folder.environment();
    const auto inspect = support::runTool(
        {"inspect", folder.job({{"app", "Plain Message"}, {"launch", false}}, "inspect.json")}, withFolder);
    EXPECT_EQ(inspect.last()["message"], "no window for Plain Message; windows: []");
    EXPECT_NE(inspect.err.find("exposes no accessibility tree"), std::string::npos) << inspect.err;

    // A scroll without a target goes to the middle of the recorded window, never to a corner of the screen
    // (where openbox switches desktops and the window would be gone for every later run).
    const auto scrolled = folder.run({{"app", "Plain Message"},
                                      {"out", folder.path() + "/scrolled.mov"},
                                      {"tailMs", 0},
                                      {"steps", json::array({{{"action", "scroll"}}})}});
    ASSERT_EQ(scrolled.status, 0) << scrolled.out << scrolled.err;
    const json frame = scrolled.last()["window"];
    const auto pointer = support::runProgram({"xdotool", "getmouselocation", "--shell"});
    int x = -1, y = -1;
    ASSERT_EQ(std::sscanf(pointer.out.c_str(), "X=%d\nY=%d", &x, &y), 2) << pointer.out;
    EXPECT_NEAR(x, frame["x"].get<double>() + frame["width"].get<double>() / 2, 1) << frame;
    EXPECT_NEAR(y, frame["y"].get<double>() + frame["height"].get<double>() / 2, 1) << frame;
    const auto late = folder.run({{"app", "Plain Message"},
                                  {"out", folder.path() + "/late.mov"},
                                  {"steps", json::array({{{"action", "press"}, {"key", "left"}},
                                                         {{"action", "click"}, {"label", "okay"}, {"ms", 300}}})}});
    EXPECT_EQ(late.status, 1);
    EXPECT_FALSE(runtest::progressLine(late, "Step 2/2: click").is_null()) << late.out;
    EXPECT_EQ(late.last(), (json{{"type", "error"},
                                 {"message", "step 2 (click): no element with role * and label \"okay\" after 300 "
                                             "ms; closest now: "},
                                 {"code", "not_found"}}));

    // A user recording of it too, now that it runs, placed and sized through the window manager: centred
    // on the 1440 × 900 screen, the frame exactly 400 × 300.
    const auto user = folder.run({{"app", "Plain Message"},
                                  {"recordUser", true},
                                  {"durationSec", 1},
                                  {"windowSize", {{"width", 400}, {"height", 300}}},
                                  {"out", folder.path() + "/user.mov"},
                                  {"tailMs", 0}});
    ASSERT_EQ(user.status, 0) << user.out << user.err;
    EXPECT_EQ(user.last()["window"], (json{{"x", 520}, {"y", 300}, {"width", 400}, {"height", 300}}));
    expectMovieOfTheWindow(user.last());
    folder.endApplications();
}

TEST(RunTargets, LaunchingAndFindingTheWindowShareOneLimitAndAProgramThatEndsIsReportedAtOnce) {
    RunFolder folder;
    folder.addEntry("org.quorrel.Windowless", "Name=Windowless\nExec=sleep 25\n");
    double seconds = 0;
    support::ToolRun run;
    seconds = secondsOf([&] { run = folder.run({{"app", "Windowless"}, {"out", folder.path() + "/w.mov"}}); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.last(), (json{{"type", "error"}, {"message", "no window for Windowless"}, {"code", "not_found"}}));
    EXPECT_GE(seconds, 14.5);
    EXPECT_LT(seconds, 22) << "one 15 s limit, not 15 s to launch and 15 s more for the window";
    folder.endApplications();

    seconds = secondsOf([&] { run = folder.run({{"app", "/bin/false"}, {"out", folder.path() + "/f.mov"}}); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.last()["message"], "the application ended without showing up: /bin/false");
    EXPECT_LT(seconds, 5);
}

}  // namespace
