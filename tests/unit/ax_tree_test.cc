#include <gtest/gtest.h>

#include <map>

#include "base/json_line.h"
#include "ax/tree.h"
#include "fakes/fake_accessibility.h"
#include "fakes/fake_platform.h"

namespace {

using fakes::El;

std::string repeated(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

TEST(TreeRounding, OneDecimalHalvesAwayFromZero) {
    EXPECT_DOUBLE_EQ(Tree::r1(12.25), 12.3);
    EXPECT_DOUBLE_EQ(Tree::r1(-0.25), -0.3);
    EXPECT_DOUBLE_EQ(Tree::r1(7.04), 7.0);
    EXPECT_DOUBLE_EQ(Tree::r1(-7.05), -7.1);
    EXPECT_DOUBLE_EQ(Tree::r1(0.04), 0.0);
    EXPECT_DOUBLE_EQ(Tree::r1(24.96), 25.0);
}

class TreeDump : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installed{ax};

    Tree::Dump dump(const El& window, long maxNodes = 100, long maxDepth = 10, AX::Point origin = {0, 0}) {
        ax.addApplication(1, El("AXApplication").kids({El(window).id("window")}));
        return Tree::dump(ax.element("window"), origin, maxNodes, maxDepth);
    }
    static std::vector<std::string> lines(const Tree::Dump& result) {
        std::vector<std::string> out;
        for (const auto& record : result.nodes) out.push_back(Out::serialize(Tree::json(record)));
        return out;
    }
};

TEST_F(TreeDump, AWindowWithoutChildrenIsOneRecord) {
    const auto result = dump(El("AXWindow"), 10, 1);
    ASSERT_EQ(result.nodes.size(), 1u);
    EXPECT_EQ(result.nodes[0].depth, 0);
    EXPECT_FALSE(result.truncated);
}

// A window of 1 + 3 + 3×2 + ... elements laid out so that document order is easy to read from titles.
El numberedTree() {
    return El("AXWindow")
        .title("0")
        .kids({El("AXGroup").title("1").kids(
                   {El("AXButton").title("2"), El("AXButton").title("3"), El("AXButton").title("4")}),
               El("AXGroup").title("5").kids({El("AXButton").title("6"), El("AXButton").title("7")}),
               El("AXGroup").title("8").kids(
                   {El("AXButton").title("9"), El("AXButton").title("10"), El("AXButton").title("11")})});
}

TEST_F(TreeDump, RecordLimitKeepsDocumentOrderAndSaysSo) {
    const auto result = dump(numberedTree(), 10);
    ASSERT_EQ(result.nodes.size(), 10u);
    for (size_t i = 0; i < result.nodes.size(); ++i) EXPECT_EQ(result.nodes[i].title, std::to_string(i));
    EXPECT_EQ(result.nodes[2].depth, 2);
    EXPECT_EQ(result.nodes[5].depth, 1);
    EXPECT_TRUE(result.truncated);

    ax.clearCalls();
    EXPECT_FALSE(Tree::dump(ax.element("window"), {0, 0}, 12, 10).truncated);
    EXPECT_TRUE(Tree::dump(ax.element("window"), {0, 0}, 11, 10).truncated);
}

TEST_F(TreeDump, DepthLimitListsButDoesNotDescend) {
    auto result = dump(numberedTree(), 100, 1);
    EXPECT_EQ(result.nodes.size(), 4u);
    EXPECT_TRUE(result.truncated);

    const auto flat = Tree::dump(ax.element("window"), {0, 0}, 100, 2);
    EXPECT_EQ(flat.nodes.size(), 12u);
    EXPECT_FALSE(flat.truncated);
}

TEST_F(TreeDump, LabelIsLeftOutWhenItRepeatsARecordedAttribute) {
    const auto result = dump(El("AXWindow")
                                 .kids({
                                     El("AXButton").title("Save"),
                                     El("AXButton").help("Opens the file"),
                                     El("AXTextField").value("Hello"),
                                     El("AXTextField").description("Name").value("Bob"),
                                     El("AXCheckBox").title("").number(1),
                                     El("AXGroup").kids({El("AXStaticText").value("Status")}),
                                 }));
    ASSERT_EQ(result.nodes.size(), 8u);
    const auto& save = result.nodes[1];
    EXPECT_EQ(save.title, "Save");
    EXPECT_EQ(save.label, std::nullopt);
    const auto& help = result.nodes[2];
    EXPECT_EQ(help.help, "Opens the file");
    EXPECT_EQ(help.label, "Opens the file");
    EXPECT_EQ(result.nodes[3].value, "Hello");
    EXPECT_EQ(result.nodes[3].label, std::nullopt);
    EXPECT_EQ(result.nodes[4].label, std::nullopt);  // first label is the description
    EXPECT_EQ(result.nodes[5].value, std::nullopt);  // a number is no string value
    EXPECT_EQ(result.nodes[5].title, std::nullopt);  // nor is an empty title recorded
    EXPECT_EQ(result.nodes[6].label, "Status");      // from the static-text child
}

TEST_F(TreeDump, StringsAreShortenedTo160Characters) {
    const std::string longTitle = repeated("\u00e9", 300);
    const std::string exact = repeated("e\u0301", 160);
    const std::string longHelp = repeated("h", 170);
    const auto result = dump(El("AXWindow")
                                 .kids({El("AXButton").title(longTitle), El("AXButton").title(exact),
                                        El("AXButton").help(longHelp), El("AXTextField").value(longHelp)}));
    EXPECT_EQ(result.nodes[1].title, repeated("\u00e9", 160));
    EXPECT_EQ(result.nodes[2].title, exact);
    EXPECT_EQ(result.nodes[3].label, repeated("h", 160));
    EXPECT_EQ(result.nodes[4].value, repeated("h", 160));
    EXPECT_EQ(result.nodes[4].label, std::nullopt);  // a value of 170 characters is no label of its own
}

TEST_F(TreeDump, TitleCutShortStillHidesTheLabelOnlyWhenTheWholeLabelMatches) {
    // The stored title (cut) is compared with the whole label: a long title differs from its own label.
    const std::string longTitle = repeated("t", 200);
    const auto result = dump(El("AXWindow").kids({El("AXButton").title(longTitle)}));
    EXPECT_EQ(result.nodes[1].label, repeated("t", 160));
}

TEST_F(TreeDump, FramesAreRelativeToTheOriginAndRounded) {
    const auto result =
        dump(El("AXWindow")
                 .frame(100, 200, 800, 600)
                 .kids({El("AXButton").frame(110.25, 220.75, 80, 24.96), El("AXButton").frame(99.75, 200, 1, 1),
                        El("AXButton").attr("AXPosition", platform::Point{1, 1})}),
             100, 10, {100, 200});
    EXPECT_EQ(result.nodes[0].frame, (AX::Rect{0, 0, 800, 600}));
    EXPECT_EQ(result.nodes[1].frame, (AX::Rect{10.3, 20.8, 80, 25}));
    EXPECT_EQ(result.nodes[2].frame->x, -0.3);
    EXPECT_EQ(result.nodes[3].frame, std::nullopt);
}

TEST_F(TreeDump, MenuAndScrollActionsAreLeftOut) {
    const auto result = dump(El("AXWindow")
                                 .kids({El("AXButton").actions({"AXPress", "AXShowMenu", "AXScrollToVisible"}),
                                        El("AXMenuItem").actions({"AXShowMenu"})}));
    EXPECT_EQ(result.nodes[1].actions, std::vector<std::string>{"AXPress"});
    EXPECT_TRUE(result.nodes[2].actions.empty());
}

TEST_F(TreeDump, RecordsSerialiseWithExactlyTheKeysThatSaySomething) {
    const auto result = dump(El("AXWindow")
                                 .subrole("AXStandardWindow")
                                 .title("Main")
                                 .frame(100, 200, 300, 100)
                                 .kids({El("AXTextField")
                                            .description("Name")
                                            .attr("AXPlaceholderValue", "Your name")
                                            .value("")
                                            .attr("AXIdentifier", "name-field")
                                            .frame(110.25, 220.75, 80, 24.96)
                                            .actions({"AXConfirm", "AXShowMenu"}),
                                        El("").kids({El("AXStaticText").value("x")})}),
                             100, 10, {100, 200});
    EXPECT_EQ(
        lines(result),
        (std::vector<std::string>{
            R"({"depth":0,"frame":{"height":100,"width":300,"x":0,"y":0},"role":"AXWindow","subrole":"AXStandardWindow","title":"Main"})",
            R"({"actions":["AXConfirm"],"depth":1,"description":"Name","frame":{"height":25,"width":80,"x":10.3,"y":20.8},"identifier":"name-field","placeholder":"Your name","role":"AXTextField"})",
            R"({"depth":1,"label":"x","role":"?"})",
            R"({"depth":2,"role":"AXStaticText","value":"x"})",
        }));
}

TEST_F(TreeDump, EachElementIsAskedForEachThingOnce) {
    // Every read is a round trip to the application: the label list reuses the record's reads.
    dump(El("AXWindow").kids({El("AXGroup").id("group").kids({El("AXStaticText").value("Status")})}));
    std::map<std::string, int> counts;
    for (const std::string& call : ax.calls) ++counts[call];
    // (The role and value of the first four children are also read by their parent's label fallback.)
    for (const auto& [call, count] : counts) {
        if (call.find(" window") != std::string::npos) {
            EXPECT_EQ(count, 1) << call;
        }
    }
    EXPECT_EQ(counts["children group"], 1);
    EXPECT_EQ(counts["attribute group AXTitle"], 1);
    EXPECT_EQ(counts["attribute group AXValue"], 1);
}

TEST_F(TreeDump, MenuBarGivesTheNonEmptyTitlesInOrder) {
    ax.addApplication(1, El("AXApplication")
                             .id("app")
                             .ref("AXMenuBar", "bar")
                             .kids({El("AXMenuBar")
                                        .id("bar")
                                        .kids({El("AXMenuBarItem").title("File"), El("AXMenuBarItem"),
                                               El("AXMenuBarItem").title(""), El("AXMenuBarItem").title("Edit")})}));
    EXPECT_EQ(Tree::menuBar(ax.element("app")), (std::vector<std::string>{"File", "Edit"}));
    ax.addApplication(2, El("AXApplication").id("bare"));
    EXPECT_TRUE(Tree::menuBar(ax.element("bare")).empty());
}

}  // namespace
