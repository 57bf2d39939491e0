#include <gtest/gtest.h>

#include "ax/suggest.h"
#include "fakes/fake_accessibility.h"
#include "fakes/fake_platform.h"

namespace {

using fakes::El;
using std::nullopt;
using Strings = std::vector<std::string>;

std::string repeated(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

TEST(SuggestDistance, FollowsContainmentThenEditDistance) {
    EXPECT_DOUBLE_EQ(Suggest::distance("Save", "save"), 0.0);
    EXPECT_DOUBLE_EQ(Suggest::distance("Save", "Save As…"), 0.1);  // eight characters, the ellipsis is one
    EXPECT_DOUBLE_EQ(Suggest::distance("Save As…", "Save"), 0.1);
    EXPECT_DOUBLE_EQ(Suggest::distance("Open", "Close"), 0.8);
    EXPECT_DOUBLE_EQ(Suggest::distance("", "Close"), 1.0);
    EXPECT_DOUBLE_EQ(Suggest::distance("Close", ""), 1.0);
    EXPECT_DOUBLE_EQ(Suggest::distance("Svae", "Save"), 0.5);
    EXPECT_DOUBLE_EQ(Suggest::distance("Svae", "Saved"), 0.6);
}

TEST(SuggestDistance, CountsUserPerceivedCharactersAndCanonicalEquivalents) {
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one character, five code points
    const std::string otherFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F466";
    EXPECT_DOUBLE_EQ(Suggest::distance("a" + family, "b" + family), 0.5);
    EXPECT_DOUBLE_EQ(Suggest::distance(family, otherFamily), 1.0);
    EXPECT_DOUBLE_EQ(Suggest::distance("Caf\u00e9", "CAFE\u0301"), 0.0);
    EXPECT_DOUBLE_EQ(Suggest::distance("Caf\u00e9s", "cafe\u0301x"), 0.2);  // one substitution in five
    EXPECT_DOUBLE_EQ(Suggest::distance("Caf\u00e9", "Cafe\u0301 Menu"), 0.2 * (1 - 4.0 / 9));
}

class SuggestFromTree : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installed{ax};

    Strings closest(const std::vector<El>& content, std::optional<std::string> role, std::optional<std::string> label,
                    int limit = Suggest::kDefaultLimit) {
        ax.addApplication(1, El("AXApplication").kids({El("AXWindow").id("window").title("Main").kids(content)}));
        return Suggest::closest(role, label, {ax.element("window")}, limit);
    }
};

TEST_F(SuggestFromTree, CandidatesAreGatheredBreadthFirstAcrossRootsWithinTheBudget) {
    ax.addApplication(1, El("AXApplication")
                             .kids({El("AXWindow").id("one").title("One").kids({El("AXButton").title("Deep")}),
                                    El("AXWindow").id("two").title("Two").help("Second")}));
    using Candidates = std::vector<Suggest::Candidate>;
    EXPECT_EQ(Suggest::candidates({ax.element("one"), ax.element("two")}),
              (Candidates{{"AXWindow", "One"}, {"AXWindow", "Two"}, {"AXWindow", "Second"}, {"AXButton", "Deep"}}));
    EXPECT_EQ(Suggest::candidates({ax.element("one"), ax.element("two")}, 1), (Candidates{{"AXWindow", "One"}}));
    EXPECT_TRUE(Suggest::candidates({ax.element("one")}, 0).empty());
}

TEST_F(SuggestFromTree, ClosestLabelRanksFirst) {
    EXPECT_EQ(closest({El("AXButton").title("Saved"), El("AXButton").title("Save")}, nullopt, "Svae"),
              (Strings{"AXButton \"Save\"", "AXButton \"Saved\"", "AXWindow \"Main\""}));
}

TEST_F(SuggestFromTree, RightLabelWithWrongRoleBeatsRightRoleWithUnrelatedLabel) {
    // 0.25 for the static text; 1.0 for both the button and the window, which keep their tree order.
    EXPECT_EQ(closest({El("AXButton").title("Quit"), El("AXStaticText").value("Save")}, "Button", "Save", 3),
              (Strings{"AXStaticText \"Save\"", "AXWindow \"Main\"", "AXButton \"Quit\""}));
}

TEST_F(SuggestFromTree, RepeatedSuggestionTextsAreShownOnce) {
    EXPECT_EQ(closest({El("AXButton").title("OK"), El("AXButton").title("OK"), El("AXStaticText").value("OK")}, nullopt,
                      "OK"),
              (Strings{"AXButton \"OK\"", "AXStaticText \"OK\"", "AXWindow \"Main\""}));
}

TEST_F(SuggestFromTree, LabelsLongerThan120CharactersAreNoCandidates) {
    const std::string ok = repeated("\u00e9", 120);
    const std::string tooLong = repeated("e\u0301", 121);
    EXPECT_EQ(closest({El("AXButton").title(ok), El("AXButton").title(tooLong)}, "AXButton", nullopt),
              (Strings{"AXButton \"" + ok + "\"", "AXWindow \"Main\""}));
}

TEST_F(SuggestFromTree, RoleOnlyPutsThatRoleFirstInTreeOrder) {
    EXPECT_EQ(closest({El("AXStaticText").value("Name"), El("AXButton").title("B1"),
                       El("AXGroup").kids({El("AXButton").title("B3")}), El("AXButton").title("B2")},
                      "Button", nullopt),
              (Strings{"AXButton \"B1\"", "AXButton \"B2\"", "AXButton \"B3\"", "AXWindow \"Main\"",
                       "AXStaticText \"Name\""}));
}

TEST_F(SuggestFromTree, NothingWantedGivesTheFirstSixInTreeOrderAndMissingRolesShowAsQuestionMarks) {
    EXPECT_EQ(
        closest({El("").title("A"), El("AXButton").title("B"), El("AXButton").title("C"), El("AXButton").title("D"),
                 El("AXButton").title("E"), El("AXButton").title("F"), El("AXButton").title("G")},
                nullopt, nullopt),
        (Strings{"AXWindow \"Main\"", "? \"A\"", "AXButton \"B\"", "AXButton \"C\"", "AXButton \"D\"",
                 "AXButton \"E\""}));
}

TEST_F(SuggestFromTree, AnEmptyWindowSuggestsNothing) {
    ax.addApplication(1, El("AXApplication").kids({El("AXWindow").id("window")}));
    EXPECT_TRUE(Suggest::closest("AXButton", "Save", {ax.element("window")}).empty());
}

TEST(SuggestMenu, TitlesRankByDistanceKeepingOrderOnTies) {
    EXPECT_EQ(Suggest::rankMenuTitles({"Close", "Save As…", "Save"}, "Sav"), (Strings{"Save", "Save As…", "Close"}));
    EXPECT_EQ(Suggest::rankMenuTitles({"Bbb", "Aaa", "Bbb"}, "x"), (Strings{"Bbb", "Aaa", "Bbb"}));
}

TEST_F(SuggestFromTree, MenuTitlesShowTheEightNearestQuoted) {
    std::vector<El> items;
    for (const char* title : {"Close", "Save As…", "Save", "New", "Open…", "Print", "Export", "Import", "Quit"})
        items.push_back(El("AXMenuItem").title(title));
    ax.addApplication(1, El("AXApplication").kids({El("AXMenu").id("menu").kids(items)}));
    EXPECT_EQ(Suggest::menuTitles(ax.element("menu"), "Sav"),
              "\"Save\", \"Save As…\", \"Close\", \"New\", \"Open…\", \"Print\", \"Export\", \"Import\"");
}

}  // namespace
