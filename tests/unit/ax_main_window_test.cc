#include <gtest/gtest.h>

#include "fakes/fake_accessibility.h"
#include "fakes/fake_platform.h"
#include "ax/main_window.h"

namespace {

using fakes::El;
using std::nullopt;

class MainWindow : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installed{ax};

    std::string mainWindow(std::optional<std::string> title, double timeoutSeconds = 0) {
        const auto found = AX::mainWindow(ax.element("app"), title, timeoutSeconds);
        return found ? ax.nameOf(*found) : "";
    }
};

TEST_F(MainWindow, TitleMatchesByContainmentIgnoringCaseAndSkipsSystemDialogs) {
    ax.addApplication(
        1, El("AXApplication")
               .id("app")
               .kids({El("AXWindow").id("dialog").subrole("AXSystemDialog").title("Editor settings"),
                      El("AXWindow").id("untitled").title("Untitled \u2014 Editor"), El("AXWindow").id("noTitle")}));
    EXPECT_EQ(mainWindow("editor"), "untitled");
    EXPECT_EQ(mainWindow("EDITOR"), "untitled");
    EXPECT_EQ(mainWindow("settings"), "");
}

TEST_F(MainWindow, AnEmptyTitleMatchesNoWindowAndWaitsOutTheTimeoutPollingEvery200ms) {
    ax.addApplication(1, El("AXApplication").id("app").kids({El("AXWindow").id("main").title("Main")}));
    EXPECT_EQ(mainWindow("", 15), "");
    EXPECT_GE(platform.runLoop.slices.size(), 74u);
    EXPECT_LE(platform.runLoop.slices.size(), 76u);
    for (double slice : platform.runLoop.slices) EXPECT_DOUBLE_EQ(slice, AX::kMainWindowPollSeconds);
    EXPECT_TRUE(platform.clock.sleeps.empty());  // the main loop is served, not slept through
}

TEST_F(MainWindow, WithoutTitleTheReportedMainWindowWinsEvenAsASystemDialog) {
    ax.addApplication(1, El("AXApplication")
                             .id("app")
                             .ref("AXMainWindow", "dialog")
                             .kids({El("AXWindow").id("first").title("First"),
                                    El("AXWindow").id("dialog").subrole("AXSystemDialog")}));
    EXPECT_EQ(mainWindow(nullopt), "dialog");
}

TEST_F(MainWindow, WithoutTitleOrMainWindowTheFirstOrdinaryWindowIsTaken) {
    ax.addApplication(1,
                      El("AXApplication")
                          .id("app")
                          .kids({El("AXWindow").id("dialog").subrole("AXSystemDialog"), El("AXWindow").id("second")}));
    EXPECT_EQ(mainWindow(nullopt), "second");
    ax.setHidden("second", true);
    EXPECT_EQ(mainWindow(nullopt), "");
    EXPECT_EQ(platform.runLoop.slices.size(), 1u);  // one look and one pause, even with no time to wait
}

}  // namespace
