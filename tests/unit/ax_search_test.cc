#include <gtest/gtest.h>

#include <functional>

#include "ax/search.h"
#include "fakes/fake_accessibility.h"
#include "fakes/fake_platform.h"

namespace {

using fakes::El;
using std::nullopt;

class AXSearch : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installed{ax};

    void window(std::vector<El> content) {
        ax.addApplication(7,
                          El("AXApplication").id("app").kids({El("AXWindow").id("window").kids(std::move(content))}));
    }
    // The name of what a search of the window finds, or "" when it finds nothing.
    std::string find(std::optional<std::string> role, std::optional<std::string> label,
                     long budget = AX::kDefaultSearchBudget, const std::string& root = "window") {
        const auto found = AX::find(ax.element(root), role, label, budget);
        return found ? ax.nameOf(*found) : "";
    }
};

TEST_F(AXSearch, RoleMatchesRoleSubroleOrRoleWithoutItsPrefix) {
    window({El("AXTextField").id("search").subrole("AXSearchField"), El("AXButton").id("button")});
    EXPECT_EQ(find("Button", nullopt), "button");
    EXPECT_EQ(find("AXButton", nullopt), "button");
    EXPECT_EQ(find("button", nullopt), "");
    EXPECT_EQ(find("AXSearchField", nullopt), "search");
    EXPECT_EQ(find("SearchField", nullopt), "");  // the subrole is never compared in the "AX" form
}

TEST_F(AXSearch, ExactLabelAnywhereBeatsAnEarlierPartialOne) {
    window({El("AXButton").id("saveAs").title("Save As…"),
            El("AXGroup").kids({El("AXGroup").kids({El("AXButton").id("save").title("Save")})})});
    EXPECT_EQ(find(nullopt, "save"), "save");
    EXPECT_EQ(find(nullopt, "SAVE AS…"), "saveAs");
}

TEST_F(AXSearch, FirstPartialMatchInBreadthFirstOrderWins) {
    // Depth first would reach "deep" before "shallow"; breadth first reaches "shallow" first.
    window({El("AXGroup").kids({El("AXButton").id("deep").title("Savings deep")}),
            El("AXButton").id("shallow").title("Savings shallow")});
    EXPECT_EQ(find(nullopt, "sav"), "shallow");
}

TEST_F(AXSearch, ElementsOfAnotherRoleAreSkippedButTheirChildrenSearched) {
    window({El("AXGroup").id("group").title("Save").kids({El("AXButton").id("button").title("Save")})});
    EXPECT_EQ(find("AXButton", "Save"), "button");
    EXPECT_EQ(find(nullopt, "Save"), "group");
}

TEST_F(AXSearch, TheRootMatchesByLabelButNeverByRoleAlone) {
    ax.addApplication(7, El("AXApplication").kids({El("AXWindow").id("window").title("Main")}));
    EXPECT_EQ(find("AXWindow", nullopt), "");
    EXPECT_EQ(find(nullopt, "main"), "window");
    EXPECT_EQ(find("Window", "Main"), "window");
}

TEST_F(AXSearch, NothingWantedOrAnEmptyLabelMatchesNothing) {
    window({El("AXGroup").title(""), El("AXButton").id("b").title("Save")});
    EXPECT_EQ(find(nullopt, nullopt), "");
    EXPECT_EQ(find(nullopt, ""), "");
    EXPECT_EQ(find("AXButton", ""), "");
    EXPECT_EQ(find("AXButton", nullopt), "b");
}

TEST_F(AXSearch, BudgetCountsEveryElementTakenFromTheQueue) {
    // Breadth-first order: window, a, b, c (child of a). "c" is the fourth element examined.
    ax.addApplication(
        7, El("AXApplication")
               .kids({El("AXWindow")
                          .id("window")
                          .title("Main")
                          .kids({El("AXGroup").id("a").title("A").kids({El("AXButton").id("c").title("Target")}),
                                 El("AXGroup").id("b").title("B")})}));
    EXPECT_EQ(find(nullopt, "target", 4), "c");
    EXPECT_EQ(find(nullopt, "target", 3), "");

    ax.clearCalls();
    EXPECT_EQ(find(nullopt, "window-child", 1), "");
    EXPECT_EQ(ax.touchedElements(), 1u);  // only the root was examined

    ax.clearCalls();
    EXPECT_EQ(find(nullopt, "target", 0), "");
    EXPECT_EQ(find(nullopt, "target", -5), "");
    EXPECT_EQ(ax.touchedElements(), 0u);
}

TEST_F(AXSearch, LabelsCompareCaseInsensitivelyAndUpToCanonicalEquivalence) {
    window({El("AXButton").id("cafe").title("Caf\u00e9"), El("AXButton").id("strasse").title("STRASSE"),
            El("AXButton").id("istanbul").title("\u0130stanbul")});
    EXPECT_EQ(find(nullopt, "CAFE\u0301"), "cafe");  // decomposed é, other case: an exact match
    EXPECT_EQ(find(nullopt, "strasse"), "strasse");
    EXPECT_EQ(find(nullopt, "i\u0307stanbul"), "istanbul");  // full lower-case mapping of İ
    // A partial match must cover whole characters: "e" is not found inside "é".
    EXPECT_EQ(find(nullopt, "caf"), "cafe");
    EXPECT_EQ(find(nullopt, "e", 1, "cafe"), "");
}

TEST_F(AXSearch, LabelsFromStaticTextChildrenAreSearched) {
    window({El("AXButton").id("b").kids({El("AXStaticText").value("Export")})});
    EXPECT_EQ(find("Button", "export"), "b");
}

class AXWait : public AXSearch {
protected:
    std::string wait(std::optional<std::string> window, std::optional<std::string> role,
                     std::optional<std::string> label, double timeoutSeconds) {
        std::optional<AX::Element> given;
        if (window) given = ax.element(*window);
        const auto found = AX::wait(ax.element("app"), given, role, label, timeoutSeconds);
        return found ? ax.nameOf(*found) : "";
    }
};

TEST_F(AXWait, ZeroTimeoutSearchesOnceThenSleepsOnce) {
    window({});
    EXPECT_EQ(wait("window", "AXButton", "Missing", 0), "");
    EXPECT_EQ(platform.clock.sleeps, std::vector<double>{AX::kWaitSleepSeconds});
    EXPECT_TRUE(platform.runLoop.slices.empty());  // the thread sleeps; the main loop is not served
}

TEST_F(AXWait, PassesRepeatUntilTheDeadline) {
    window({});
    EXPECT_EQ(wait(nullopt, nullopt, "Missing", 1.0), "");
    EXPECT_EQ(platform.clock.sleeps.size(), 7u);  // 0.15 s apart: the seventh sleep ends past 1 s
}

TEST_F(AXWait, FindsWhatAppearsWhileWaiting) {
    window({El("AXButton").id("done").title("Done")});
    ax.setHidden("done", true);
    // A clock whose third sleep reveals the button, as an application would while the tool waits.
    struct RevealingClock final : platform::Clock {
        fakes::FakeClock& inner;
        std::function<void()> reveal;
        int sleeps = 0;
        RevealingClock(fakes::FakeClock& inner, std::function<void()> reveal)
            : inner(inner), reveal(std::move(reveal)) {}
        double hostSeconds() override { return inner.hostSeconds(); }
        double epochSeconds() override { return inner.epochSeconds(); }
        void sleep(double seconds) override {
            inner.sleep(seconds);
            if (++sleeps == 3) reveal();
        }
    } clock(platform.clock, [&] { ax.setHidden("done", false); });
    platform::services().clock = &clock;
    EXPECT_EQ(wait("window", "Button", "done", 5), "done");
    EXPECT_EQ(clock.sleeps, 3);
    platform::services().clock = &platform.clock;
}

TEST_F(AXWait, SearchesTheGivenWindowThenEveryWindowThenTheApplication) {
    ax.addApplication(7, El("AXApplication")
                             .id("app")
                             .kids({El("AXWindow").id("first").kids({El("AXButton").id("firstOK").title("OK")}),
                                    El("AXWindow").id("second").kids({El("AXButton").id("secondOK").title("OK")}),
                                    El("AXMenuBar").kids({El("AXMenuBarItem").id("file").title("File")})}));
    EXPECT_EQ(wait("second", "AXButton", "OK", 0), "secondOK");
    EXPECT_EQ(wait(nullopt, "AXButton", "OK", 0), "firstOK");
    EXPECT_EQ(wait("first", "AXMenuBarItem", "File", 0), "file");  // in no window: found through the application
}

}  // namespace
