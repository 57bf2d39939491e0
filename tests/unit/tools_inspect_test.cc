// The inspect command over the in-memory desktop: the dump's limits, the message for a window that never
// came, and the result built from a running application.

#include <gtest/gtest.h>

#include "base/capture_error.h"
#include "fakes/fake_accessibility.h"
#include "fakes/fake_applications.h"
#include "fakes/fake_platform.h"
#include "tools/inspect_command.h"
#include "tools/inspect_values.h"

namespace {

using fakes::El;
using nlohmann::json;

TEST(InspectLimits, AbsentGivesTheDefaultsAndGivenValuesAreBroughtIntoBounds) {
    EXPECT_EQ(tools::nodeLimit(std::nullopt), 1500);
    EXPECT_EQ(tools::nodeLimit(3), 10);
    EXPECT_EQ(tools::nodeLimit(-7), 10);
    EXPECT_EQ(tools::nodeLimit(10), 10);
    EXPECT_EQ(tools::nodeLimit(250), 250);
    EXPECT_EQ(tools::nodeLimit(8001), 8000);
    EXPECT_EQ(tools::nodeLimit(INT64_MAX), 8000);
    EXPECT_EQ(tools::depthLimit(std::nullopt), 40);
    EXPECT_EQ(tools::depthLimit(0), 1);
    EXPECT_EQ(tools::depthLimit(-5), 1);
    EXPECT_EQ(tools::depthLimit(7), 7);
    EXPECT_EQ(tools::depthLimit(500), 80);
    EXPECT_EQ(tools::depthLimit(INT64_MIN), 1);
}

TEST(InspectMessage, NoWindowNamesTheWantedTitleAndListsTheWindowsEscaped) {
    EXPECT_EQ(tools::noWindowMessage("Editor", std::nullopt, {}), "no window for Editor; windows: []");
    EXPECT_EQ(tools::noWindowMessage("Editor", "", {"Main"}),
              "no window titled like \"\" for Editor; windows: [\"Main\"]");
    EXPECT_EQ(
        tools::noWindowMessage("org.example.Editor", "Prefs", {"Say \"hi\"", "C:\\temp", ""}),
        "no window titled like \"Prefs\" for org.example.Editor; windows: [\"Say \\\"hi\\\"\", \"C:\\\\temp\", \"\"]");
}

TEST(InspectMessage, ControlCharactersInTitlesAreShownAsEscapesAndOtherTextIsKept) {
    EXPECT_EQ(tools::quotedTitle("a\nb\tc\rd"), "\"a\\nb\\tc\\rd\"");
    EXPECT_EQ(tools::quotedTitle(std::string("bell\x07"
                                             "esc\x1b"
                                             "del\x7f"
                                             "nul") +
                                 '\0' + "end"),
              "\"bell\\u0007esc\\u001bdel\\u007fnul\\u0000end\"");
    EXPECT_EQ(tools::quotedTitle("c1\u0085x\u2028y\u2029"), "\"c1\\u0085x\\u2028y\\u2029\"");
    EXPECT_EQ(tools::quotedTitle("Caf\u00e9 \u2014 \U0001F600 \u00a0\u00ff"),
              "\"Caf\u00e9 \u2014 \U0001F600 \u00a0\u00ff\"");
}

jobs::InspectJob inspectJob(std::string app, std::optional<std::string> windowTitle = std::nullopt,
                            std::optional<bool> launch = std::nullopt, std::optional<int64_t> maxNodes = std::nullopt,
                            std::optional<int64_t> maxDepth = std::nullopt) {
    return {std::move(app), std::move(windowTitle), maxNodes, maxDepth, launch};
}

class InspectCommand : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installedAx{ax};
    fakes::FakeApplications apps;
    platform::Services previous;

    void SetUp() override {
        auto services = platform::services();
        services.applications = &apps;
        previous = platform::install(services);
    }
    void TearDown() override { platform::install(previous); }

    void addEditor(std::optional<std::string> name = "Editor", bool withEntry = true) {
        platform::ApplicationProcess process;
        process.pid = 42;
        process.identity = "org.example.Editor";
        process.name = std::move(name);
        if (withEntry) process.entryPath = "/usr/share/applications/org.example.Editor.desktop";
        apps.apps.push_back(process);
        ax.addApplication(
            42, El("AXApplication")
                    .ref("AXMenuBar", "bar")
                    .kids({El("AXWindow")
                               .id("main")
                               .title("Notes \u2014 Editor")
                               .frame(100.25, 200.5, 640.75, 480)
                               .kids({El("AXMenuBar")
                                          .id("bar")
                                          .frame(100.25, 200.5, 640, 24)
                                          .kids({El("AXMenuBarItem").title("File"), El("AXMenuBarItem").title("Edit")}),
                                      El("AXButton")
                                          .title("Save")
                                          .frame(110.25, 230.75, 80, 24.96)
                                          .actions({"AXPress", "AXShowMenu"})}),
                           El("AXWindow").id("quoted").title("Say \"hi\""), El("AXWindow").id("untitled")}));
    }
};

TEST_F(InspectCommand, ARunningApplicationIsActivatedAndItsMainWindowDumpedRelativeToItself) {
    addEditor();
    const json result = tools::inspectResult(inspectJob("Editor"));
    EXPECT_EQ(apps.activated, std::vector<int32_t>{42});
    EXPECT_TRUE(apps.opened.empty());

    std::set<std::string> keys;
    for (const auto& [key, value] : result.items()) keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"type", "app", "bundleId", "pid", "window", "windows", "menuBar", "nodes",
                                           "truncated"}));
    EXPECT_EQ(result["type"], "result");
    EXPECT_EQ(result["app"], "Editor");
    EXPECT_EQ(result["bundleId"], "org.example.Editor");
    EXPECT_EQ(result["pid"], 42);
    EXPECT_EQ(
        result["window"],
        (json{{"title", "Notes \u2014 Editor"}, {"x", 100.25}, {"y", 200.5}, {"width", 640.75}, {"height", 480}}));
    EXPECT_EQ(result["windows"], (json{"Notes \u2014 Editor", "Say \"hi\""}));
    EXPECT_EQ(result["menuBar"], (json{"File", "Edit"}));
    EXPECT_EQ(result["truncated"], false);
    ASSERT_EQ(result["nodes"].size(), 5u);
    EXPECT_EQ(result["nodes"][0]["frame"], (json{{"x", 0}, {"y", 0}, {"width", 640.8}, {"height", 480}}));
    const json save = result["nodes"][4];
    EXPECT_EQ(save["title"], "Save");
    EXPECT_EQ(save["frame"], (json{{"x", 10}, {"y", 30.3}, {"width", 80}, {"height", 25}}));
    EXPECT_EQ(save["actions"], json{"AXPress"});
}

TEST_F(InspectCommand, LimitsReachTheDumpAndAWindowWithoutFrameIsAllZeros) {
    addEditor();
    ax.setAttribute("main", "AXPosition", platform::Value(std::string("not a point")));
    const json result = tools::inspectResult(inspectJob("Editor", std::nullopt, std::nullopt, 3, 0));
    EXPECT_EQ(result["window"]["x"], 0);
    EXPECT_EQ(result["window"]["width"], 0);
    // Depth 0 is raised to 1: the window and its two children; the grandchildren are left out.
    EXPECT_EQ(result["nodes"].size(), 3u);
    EXPECT_EQ(result["truncated"], true);
    EXPECT_EQ(result["nodes"][2]["frame"]["x"], 110.3);  // relative to the screen origin
}

TEST_F(InspectCommand, WithoutNameOrDesktopEntryTheJobStringAndAnEmptyIdentityAreReported) {
    addEditor(std::nullopt, /*withEntry=*/false);
    const json result = tools::inspectResult(inspectJob("org.example.Editor"));
    EXPECT_EQ(result["app"], "org.example.Editor");
    EXPECT_EQ(result["bundleId"], "");
}

TEST_F(InspectCommand, LaunchFalseOnAStoppedApplicationFailsWithoutLaunchingAnything) {
    fakes::FakeApplications::Installed editor;
    editor.path = "/usr/share/applications/org.example.Editor.desktop";
    editor.identity = "org.example.Editor";
    editor.pid = 42;
    apps.installed.push_back(editor);
    try {
        tools::inspectResult(inspectJob("org.example.Editor", std::nullopt, false));
        FAIL() << "no error";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(), "org.example.Editor is not running");
        EXPECT_EQ(error.code(), "not_found");
    }
    EXPECT_TRUE(apps.opened.empty());
    EXPECT_TRUE(apps.activated.empty());

    try {
        tools::inspectResult(inspectJob("Nothing"));
        FAIL() << "no error";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(), "app not found: Nothing");
        EXPECT_EQ(error.code(), "not_found");
    }
}

TEST_F(InspectCommand, AnUnmatchedTitleFailsAfterTenSecondsListingTheWindows) {
    addEditor();
    const double start = platform.clock.hostSeconds();
    try {
        tools::inspectResult(inspectJob("Editor", "Preferences", false));
        FAIL() << "no error";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(),
                  "no window titled like \"Preferences\" for Editor; windows: [\"Notes \u2014 Editor\", "
                  "\"Say \\\"hi\\\"\"]");
        EXPECT_EQ(error.code(), "not_found");
    }
    EXPECT_GE(platform.clock.hostSeconds() - start, 10.0);
    EXPECT_LT(platform.clock.hostSeconds() - start, 10.5);
}

}  // namespace
