// Scripted steps against the fixture application through `quorrel-capture run`: every action reaching the
// application, with the fixture's own reports and the accessibility bus (read here, not through the tool)
// confirming the effect; a preflight miss ending the run before recording; a deferred target failing during
// the run after its own progress line.

#include <gtest/gtest.h>

#include <filesystem>

#include "app_process.h"
#include "atspi_reader.h"
#include "support/fixture_process.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using stepstest::PrivateHome;

constexpr const char* kFixtureId = "org.quorrel.CaptureFixture";

// The fixture with the given window title and the home's environment, ready to be driven.
class FixtureApp {
public:
    FixtureApp(const PrivateHome& home, const std::string& title)
        : process_({"--title", title, "--size", "640x620"}, home.environment()) {}
    bool ready() const { return process_.ready(); }
    pid_t pid() const { return process_.pid(); }
    /// Whether the fixture reported (at any time since it started) an event with `key` set to `value`.
    bool reported(const std::string& event, const std::string& key, const std::string& value, double seconds = 5) {
        return process_.reported(
            [&](const json& line) { return line.value("event", "") == event && line.value(key, "") == value; },
            seconds);
    }

private:
    support::FixtureProcess process_;
};

json job(const std::string& title, const std::string& out, const json& steps) {
    return {{"app", kFixtureId}, {"windowTitle", title}, {"out", out}, {"settleMs", 300}, {"tailMs", 300},
            {"fps", 30},         {"steps", steps}};
}

// The text of the fixture's entry labelled `label`, read from the accessibility bus.
std::optional<std::string> entryText(pid_t pid, const std::string& label) {
    const auto app = stepstest::applicationOf(pid);
    for (const auto& entry : stepstest::findAll(app, "text"))
        if (stepstest::labelOf(entry) == label) return stepstest::textOf(entry);
    return std::nullopt;
}

TEST(StepsOnTheFixture, EveryActionReachesTheApplicationInOrderAndIsReported) {
    PrivateHome home;
    FixtureApp fixture(home, "Stepped Fixture");
    ASSERT_TRUE(fixture.ready());
    const std::string out = home.path() + "/stepped.mov";
    const json steps = json::array({
        {{"action", "click"}, {"label", "Save"}},
        {{"action", "type"}, {"role", "TextField"}, {"label", "name"}, {"value", "Grüße, 世界 ✓"}},
        {{"action", "type"}, {"role", "AXTextArea"}, {"text", "first line\nsecond line"}},
        {{"action", "press"}, {"key", "cmd+s"}},
        {{"action", "menu"}, {"path", {"file", "EXPORT", "png"}}},
        // A list's frame spans all its rows, most of them out of view; a row on screen is where to scroll.
        {{"action", "scroll"}, {"role", "StaticText"}, {"label", "Row 1"}, {"y", 240}},
        {{"action", "wait"}, {"ms", 200}},
    });
    const auto run = home.run(job("Stepped Fixture", out, steps));
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    // Progress: the preflight line before recording, then one line per step with its zero-based index.
    const auto lines = stepstest::jsonLines(run);
    std::vector<std::string> messages;
    for (const auto& line : lines) messages.push_back(line.value("message", ""));
    const auto at = [&](const std::string& message) {
        return std::find(messages.begin(), messages.end(), message) - messages.begin();
    };
    EXPECT_LT(at("Checking the steps' targets"), at("Recording Stepped Fixture"));
    const char* actions[] = {"click", "type", "type", "press", "menu", "scroll", "wait"};
    for (int i = 0; i < 7; ++i) {
        const std::string message = "Step " + std::to_string(i + 1) + "/7: " + actions[i];
        ASSERT_LT(at(message), static_cast<long>(lines.size())) << message;
        EXPECT_EQ(lines[at(message)]["step"], i);
        EXPECT_GT(at(message), at("Recording Stepped Fixture"));
    }

    // The application saw each action.
    EXPECT_TRUE(fixture.reported("clicked", "widget", "Save"));
    EXPECT_TRUE(fixture.reported("text", "text", "Grüße, 世界 ✓"));
    EXPECT_TRUE(fixture.reported("text", "text", "first line\nsecond line"));
    EXPECT_TRUE(fixture.reported("shortcut", "name", "save"));
    EXPECT_TRUE(fixture.reported("menu", "item", "File/Export…/PNG"));
    EXPECT_TRUE(fixture.reported("scroll", "axis", "vertical"));

    // And the accessibility bus, read independently, holds the typed texts.
    EXPECT_EQ(entryText(fixture.pid(), "Name"), "Grüße, 世界 ✓");
    const auto app = stepstest::applicationOf(fixture.pid());
    std::vector<std::string> texts;
    for (const auto& each : stepstest::findAll(app, "text")) texts.push_back(stepstest::textOf(each).value_or(""));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "first line\nsecond line"), texts.end());

    // The result: clicks of the click and the two typing steps, the targets checked before recording.
    const json result = run.last();
    EXPECT_EQ(result["type"], "result");
    EXPECT_EQ(result["preflight"], (json{{"checked", {1, 2, 3, 5, 6}}, {"deferred", json::array()}}));
    ASSERT_EQ(result["clicks"].size(), 3u);
    EXPECT_EQ(result["clicks"][0]["role"], "AXButton");
    EXPECT_EQ(result["clicks"][0]["label"], "Save");
    EXPECT_EQ(result["clicks"][1]["role"], "AXTextField");
    EXPECT_EQ(result["clicks"][2]["role"], "AXTextArea");
    double previous = 0;
    for (const auto& click : result["clicks"]) {
        EXPECT_GT(click["x"].get<double>(), 0);
        EXPECT_LT(click["x"].get<double>(), 1);
        EXPECT_GT(click["y"].get<double>(), 0);
        EXPECT_LT(click["y"].get<double>(), 1);
        EXPECT_GE(click["t"].get<double>(), previous);
        previous = click["t"].get<double>();
    }
    EXPECT_EQ(result["steps"], json::array());
    EXPECT_TRUE(fs::exists(out));
}

TEST(StepsOnTheFixture, ATargetMissingBeforeAnyChangeEndsTheRunBeforeAnythingIsRecorded) {
    PrivateHome home;
    FixtureApp fixture(home, "Preflight Fixture");
    ASSERT_TRUE(fixture.ready());
    const std::string out = home.path() + "/never.mov";
    const auto run = home.run(job("Preflight Fixture", out,
                                  json::array({{{"action", "wait"}, {"ms", 100}},
                                               {{"action", "click"}, {"role", "AXButton"}, {"label", "Svae"}},
                                               {{"action", "click"}, {"label", "Open"}}})));
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const json error = run.last();
    EXPECT_EQ(error["type"], "error");
    EXPECT_EQ(error["code"], "not_found");
    const std::string message = error.value("message", "");
    const std::string head =
        "step 2 (click): no element with role AXButton and label \"Svae\" in the window before recording; closest: "
        "AXButton \"Save\"";
    EXPECT_EQ(message.substr(0, head.size()), head);
    const std::string tail = ". capture_inspect lists the window's elements.";
    ASSERT_GE(message.size(), tail.size());
    EXPECT_EQ(message.substr(message.size() - tail.size()), tail);
    EXPECT_FALSE(stepstest::progressLine(run, "Checking the steps' targets").is_null());
    EXPECT_TRUE(stepstest::progressLine(run, "Recording Preflight Fixture").is_null());
    EXPECT_TRUE(stepstest::progressLine(run, "Step 1/3: wait").is_null());
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fixture.reported("clicked", "widget", "Open", 0.5));
}

TEST(StepsOnTheFixture, ATargetThatAppearsAfterAStepIsDeferredAndWaitedFor) {
    PrivateHome home;
    FixtureApp fixture(home, "Deferred Fixture");
    ASSERT_TRUE(fixture.ready());
    const auto run = home.run(job("Deferred Fixture", home.path() + "/deferred.mov",
                                  json::array({{{"action", "click"}, {"label", "Reveal"}},
                                               {{"action", "click"}, {"role", "Button"}, {"label", "Done"}}})));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(fixture.reported("clicked", "widget", "Done"));
    const json preflight = run.last()["preflight"];
    EXPECT_EQ(preflight["checked"], json({1}));
    ASSERT_EQ(preflight["deferred"].size(), 1u);
    EXPECT_EQ(preflight["deferred"][0]["step"], 2);
    EXPECT_EQ(preflight["deferred"][0]["role"], "Button");
    EXPECT_EQ(preflight["deferred"][0]["label"], "Done");
    EXPECT_EQ(preflight["deferred"][0]["closestNow"].size(), 6u);
}

TEST(StepsOnTheFixture, ADeferredTargetThatNeverAppearsFailsAfterItsOwnProgressLine) {
    PrivateHome home;
    FixtureApp fixture(home, "Failing Fixture");
    ASSERT_TRUE(fixture.ready());
    const auto run = home.run(job("Failing Fixture", home.path() + "/failing.mov",
                                  json::array({{{"action", "click"}, {"label", "Save"}},
                                               {{"action", "click"}, {"label", "Never There"}, {"ms", 600}},
                                               {{"action", "click"}, {"label", "Open"}}})));
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const auto lines = run.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(json::parse(lines[lines.size() - 2]),
              (json{{"type", "progress"}, {"message", "Step 2/3: click"}, {"step", 1}}));
    const json error = run.last();
    EXPECT_EQ(error["code"], "not_found");
    const std::string head =
        "step 2 (click): no element with role * and label \"Never There\" after 600 ms; closest now: ";
    EXPECT_EQ(error.value("message", "").substr(0, head.size()), head);
    EXPECT_TRUE(fixture.reported("clicked", "widget", "Save"));
    EXPECT_FALSE(fixture.reported("clicked", "widget", "Open", 0.5));  // later steps are not performed
    for (const auto& line : lines) EXPECT_EQ(line.find("\"result\""), std::string::npos);
}

}  // namespace
