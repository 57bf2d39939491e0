// The run command end to end in the virtual desktop: the fixture application found, launched, placed and
// recorded; region capture with its started and stop files; a user recording of the display.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "run_desktop.h"
#include "support/fixture_process.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using runtest::RunFolder;
using support::FixtureProcess;

std::set<std::string> keysOf(const json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.insert(key);
    return keys;
}

// The movie reads back as the result says: HEVC with the reported frames, of the reported size, lasting
// about the reported duration.
void expectMovieMatches(const json& result, const std::string& path) {
    const json movie = runtest::probeMovie(path);
    ASSERT_FALSE(movie.is_null()) << "no readable movie at " << path;
    EXPECT_EQ(movie["codec_name"], "hevc");
    EXPECT_EQ(movie["width"], result["width"]);
    EXPECT_EQ(movie["height"], result["height"]);
    EXPECT_EQ(movie["nb_read_frames"], result["frames"]);
    EXPECT_NEAR(movie["duration"].get<double>(), result["durationSec"].get<double>(), 0.05);
}

TEST(RunCommand, ARunWithoutStepsPlacesSizesAndRecordsTheWindow) {
    RunFolder folder;
    FixtureProcess fixture({"--title", "Placed Fixture"});
    ASSERT_TRUE(fixture.ready());
    const std::string out = folder.path() + "/movies/placed.mov";
    const auto run = folder.run({{"app", std::string("  ") + runtest::kFixtureId + "\t"},
                                 {"out", out},
                                 {"windowSize", {{"width", 800}, {"height", 600}}},
                                 {"settleMs", 300},
                                 {"tailMs", 300}});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_FALSE(runtest::progressLine(run, std::string("Opening ") + runtest::kFixtureId).is_null());
    EXPECT_FALSE(runtest::progressLine(run, "Checking the steps' targets").is_null());
    EXPECT_FALSE(runtest::progressLine(run, "Recording Placed Fixture").is_null());
    EXPECT_EQ(runtest::countFixturesWithTitle("Placed Fixture"), 1);  // found running, not launched again

    const json result = run.last();
    EXPECT_EQ(keysOf(result), (std::set<std::string>{"type", "output", "width", "height", "scale", "durationSec",
                                                     "frames", "clicks", "steps", "windowTitle", "display",
                                                     "window", "windowInRecording", "preflight"}));
    EXPECT_EQ(result["output"], out);
    EXPECT_EQ(result["windowTitle"], "Placed Fixture");
    EXPECT_EQ(result["display"], false);
    EXPECT_EQ(result["clicks"], json::array());
    EXPECT_EQ(result["steps"], json::array());
    EXPECT_EQ(result["preflight"], (json{{"checked", json::array()}, {"deferred", json::array()}}));
    EXPECT_EQ(result["scale"], 1);
    EXPECT_GE(result["frames"].get<int>(), 1);

    // The window is the frame the user sees, decorations included, exactly at the requested size and
    // centred on the 1440 × 900 screen (the work area has no panels here); the movie is that frame.
    const json window = result["window"];
    EXPECT_EQ(window, (json{{"x", 320}, {"y", 150}, {"width", 800}, {"height", 600}}));
    EXPECT_EQ(result["windowInRecording"], (json{{"x", 0}, {"y", 0}, {"width", 800}, {"height", 600}}));
    EXPECT_EQ(result["width"], 800);
    EXPECT_EQ(result["height"], 600);
    // The window really moved: the fixture's own client area lies inside that frame, below its title bar.
    runtest::expectInside(fixture.widget("window"), window);
    expectMovieMatches(result, out);
}

TEST(RunCommand, AnApplicationIsLaunchedByNameOrEntryPathAndActivatedWhenRunning) {
    RunFolder folder("Launched Fixture");
    runtest::endFixturesWithTitle("Launched Fixture");
    const auto byName = folder.run({{"app", "Quorrel Fixture Entry"},
                                    {"out", folder.path() + "/by-name.mov"},
                                    {"settleMs", 200},
                                    {"tailMs", 200}});
    ASSERT_EQ(byName.status, 0) << byName.out << byName.err;
    EXPECT_EQ(byName.last()["windowTitle"], "Launched Fixture");
    EXPECT_EQ(runtest::countFixturesWithTitle("Launched Fixture"), 1);
    expectMovieMatches(byName.last(), folder.path() + "/by-name.mov");

    // Running now: the entry path finds it and nothing new starts.
    const auto byPath = folder.run({{"app", folder.entryPath()},
                                    {"out", folder.path() + "/by-path.mov"},
                                    {"settleMs", 0},
                                    {"tailMs", 0}});
    ASSERT_EQ(byPath.status, 0) << byPath.out << byPath.err;
    EXPECT_EQ(byPath.last()["windowTitle"], "Launched Fixture");
    EXPECT_EQ(runtest::countFixturesWithTitle("Launched Fixture"), 1);
    runtest::endFixturesWithTitle("Launched Fixture");

    // Not running: the entry path launches it.
    for (int i = 0; i < 100 && runtest::countFixturesWithTitle("Launched Fixture") > 0; ++i) usleep(50000);
    const auto launched = folder.run({{"app", folder.entryPath()},
                                      {"out", folder.path() + "/launched.mov"},
                                      {"settleMs", 0},
                                      {"tailMs", 0}});
    ASSERT_EQ(launched.status, 0) << launched.out << launched.err;
    EXPECT_EQ(runtest::countFixturesWithTitle("Launched Fixture"), 1);
    runtest::endFixturesWithTitle("Launched Fixture");
}

TEST(RunCommand, FailuresGiveTheirErrorLinesWithoutAResult) {
    RunFolder folder;
    const auto missing = folder.run({{"app", "No Such Application"}, {"out", folder.path() + "/m.mov"}});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.last(), (json{{"type", "error"}, {"message", "app not found: No Such Application"},
                                    {"code", "not_found"}}));

    const auto blank = folder.run({{"app", " \t "}, {"out", folder.path() + "/made/for/nothing.mov"}});
    EXPECT_EQ(blank.status, 1);
    EXPECT_EQ(blank.last()["message"], "app is required for a scripted capture");
    EXPECT_EQ(blank.last()["code"], "bad_request");
    EXPECT_TRUE(fs::is_directory(folder.path() + "/made/for"));  // made before the refusal

    const auto region = folder.run(
        {{"out", folder.path() + "/r.mov"}, {"region", {{"rect", {{"x", 0}, {"y", 0}, {"width", 100}, {"height", 100}}}}}});
    EXPECT_EQ(region.status, 1);
    EXPECT_EQ(region.last()["message"],
              "no on-screen window of process " + std::to_string(getpid()) + " to record");  // the parent: us
    EXPECT_EQ(region.last()["code"], "not_found");
}

TEST(RunCommand, AWindowTitleThatNothingContainsEndsWithNoWindowAndAMissingTargetBeforeRecording) {
    RunFolder folder;
    FixtureProcess fixture({"--title", "Titled Fixture"});
    ASSERT_TRUE(fixture.ready());
    const auto run = folder.run({{"app", runtest::kFixtureId},
                                 {"windowTitle", "no window is called this"},
                                 {"out", folder.path() + "/t.mov"},
                                 {"settleMs", 0}});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.last(), (json{{"type", "error"},
                                {"message", std::string("no window for ") + runtest::kFixtureId},
                                {"code", "not_found"}}));
    EXPECT_FALSE(fs::exists(folder.path() + "/t.mov"));

    // A step whose target is missing before anything could change the window ends the run before recording.
    const auto stepped = folder.run({{"app", runtest::kFixtureId},
                                     {"out", folder.path() + "/s.mov"},
                                     {"settleMs", 0},
                                     {"steps", json::array({{{"action", "click"}, {"label", "No Such Button"}}})}});
    EXPECT_EQ(stepped.status, 1);
    EXPECT_FALSE(runtest::progressLine(stepped, "Checking the steps' targets").is_null());
    EXPECT_EQ(stepped.last()["code"], "not_found");
    EXPECT_EQ(stepped.last()["message"].get<std::string>().rfind(
                  "step 1 (click): no element with role * and label \"No Such Button\" in the window before recording", 0),
              0u);
    EXPECT_TRUE(runtest::progressLine(stepped, "Recording Titled Fixture").is_null());
    EXPECT_FALSE(fs::exists(folder.path() + "/s.mov"));
}

TEST(RunCommand, ARegionRunAnnouncesItsFirstFrameAndStopsAtTheStopFile) {
    RunFolder folder;
    FixtureProcess fixture({"--title", "Region Fixture"});
    ASSERT_TRUE(fixture.ready());
    const std::string out = folder.path() + "/region/part.mov";
    const std::string started = folder.path() + "/started";
    const std::string stop = folder.path() + "/stop";
    std::ofstream(started) << "stale";
    auto tool = folder.start({{"out", out},
                              {"fps", 30},
                              {"startedFile", started},
                              {"stopFile", stop},
                              {"region", {{"pid", fixture.pid()},
                                          {"rect", {{"x", 10}, {"y", 10}, {"width", 301}, {"height", 201}}}}}});
    const auto recording = tool->waitFor([](const json& line) { return line.value("message", "") == "Recording"; }, 60);
    ASSERT_TRUE(recording) << "no Recording line";
    EXPECT_EQ((*recording)["started"], true);
    const double firstFrameMs = (*recording)["firstFrameEpochMs"].get<double>();
    EXPECT_EQ(std::floor(firstFrameMs), firstFrameMs);
    std::ifstream startedFile(started);
    const std::string digits((std::istreambuf_iterator<char>(startedFile)), std::istreambuf_iterator<char>());
    EXPECT_EQ(digits, std::to_string(static_cast<long long>(firstFrameMs)));

    std::ofstream(stop).flush();
    const auto result = tool->waitFor([](const json& line) { return line.value("type", "") == "result"; }, 30);
    ASSERT_TRUE(result) << "no result line";
    EXPECT_EQ(tool->wait(30), 0);
    EXPECT_EQ((*result)["firstFrameEpochMs"], firstFrameMs);
    EXPECT_EQ((*result)["width"], 302);  // even sizes for a region
    EXPECT_EQ((*result)["height"], 202);
    EXPECT_LT((*result)["durationSec"].get<double>(), 20);  // the stop file ended it, not the 20 s default
    EXPECT_EQ((*result)["window"]["title"], "Region Fixture");
    // The region's window is the frame with its decorations; the fixture's client area lies inside it.
    runtest::expectInside(fixture.widget("window"), (*result)["window"]);
    EXPECT_TRUE(fs::exists(stop));  // only looked at, never removed
    expectMovieMatches(*result, out);
}

TEST(RunCommand, AUserRecordingOfTheDisplayLogsTheUsersClickWithWhatItHit) {
    RunFolder folder;
    FixtureProcess fixture({"--title", "Clicked Fixture"});
    ASSERT_TRUE(fixture.ready());
    const json save = fixture.widget("Save");
    ASSERT_FALSE(save.is_null());
    const double x = save["x"].get<double>() + save["width"].get<double>() / 2;
    const double y = save["y"].get<double>() + save["height"].get<double>() / 2;
    const std::string out = folder.path() + "/display.mov";
    const std::string stop = folder.path() + "/stop";
    auto tool = folder.start(
        {{"recordUser", true}, {"out", out}, {"durationSec", 60}, {"stopFile", stop}, {"tailMs", 300}, {"fps", 30}});
    const auto recording =
        tool->waitFor([](const json& line) { return line.value("message", "") == "Recording your actions"; }, 60);
    ASSERT_TRUE(recording);
    EXPECT_EQ((*recording)["until"], 60);

    runtest::clickAt(x, y);
    ASSERT_TRUE(fixture.waitFor([](const json& line) {
        return line.value("event", "") == "clicked" && line.value("widget", "") == "Save";
    })) << "the click did not reach the fixture";
    std::ofstream(stop).flush();
    const auto result = tool->waitFor([](const json& line) { return line.value("type", "") == "result"; }, 30);
    ASSERT_TRUE(result) << "no result line";
    EXPECT_EQ(tool->wait(30), 0);
    const json& r = *result;
    EXPECT_EQ(r["display"], true);
    EXPECT_EQ(r["windowTitle"], "Display");
    EXPECT_EQ(r["preflight"], json::object());
    EXPECT_EQ(r["window"], (json{{"x", 0}, {"y", 0}, {"width", 1440}, {"height", 900}}));
    EXPECT_EQ(r["windowInRecording"], (json{{"x", 0}, {"y", 0}, {"width", 1440}, {"height", 900}}));
    ASSERT_EQ(r["clicks"].size(), 1u);
    const json click = r["clicks"][0];
    EXPECT_EQ(click["role"], "AXButton");
    EXPECT_EQ(click["label"], "Save");
    EXPECT_NEAR(click["x"].get<double>(), x / 1440, 1.0 / 1440);
    EXPECT_NEAR(click["y"].get<double>(), y / 900, 1.0 / 900);
    EXPECT_GT(click["t"].get<double>(), 0);
    EXPECT_EQ(r["steps"][0], (json{{"action", "click"}, {"role", "AXButton"}, {"label", "Save"}}));
    EXPECT_EQ(r["steps"].size(), 1u);
    expectMovieMatches(r, out);
}

}  // namespace

namespace {

TEST(RunCommand, AUserRecordingOfAnApplicationEndsWhenTheApplicationQuits) {
    RunFolder folder;
    auto fixture = std::make_unique<FixtureProcess>(std::vector<std::string>{"--title", "Quitting Fixture"});
    ASSERT_TRUE(fixture->ready());
    const std::string out = folder.path() + "/quitting.mov";
    auto tool = folder.start({{"app", runtest::kFixtureId}, {"recordUser", true}, {"out", out}, {"tailMs", 0}});
    const auto recording =
        tool->waitFor([](const json& line) { return line.value("message", "") == "Recording your actions"; }, 60);
    ASSERT_TRUE(recording);
    EXPECT_EQ((*recording)["until"], 20);  // the default length
    fixture.reset();  // ends the application
    const auto result = tool->waitFor([](const json& line) { return line.value("type", "") == "result"; }, 30);
    ASSERT_TRUE(result) << "no result line";
    EXPECT_EQ(tool->wait(30), 0);
    EXPECT_EQ((*result)["display"], false);
    EXPECT_EQ((*result)["preflight"], json::object());
    EXPECT_EQ((*result)["windowTitle"], "Quitting Fixture");
    EXPECT_LT((*result)["durationSec"].get<double>(), 20);
    for (const auto& line : tool->lines()) {
        EXPECT_EQ(line.find("Checking the steps"), std::string::npos);
        EXPECT_EQ(line.find("\"Step "), std::string::npos);
    }
}

}  // namespace
