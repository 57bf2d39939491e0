#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ax/ax.h"
#include "fakes/fake_accessibility.h"
#include "fakes/fake_platform.h"

namespace {

using fakes::El;

std::string repeated(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

bool wasCalled(const fakes::FakeAccessibility& ax, const std::string& call) {
    return std::find(ax.calls.begin(), ax.calls.end(), call) != ax.calls.end();
}

class AXElement : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installed{ax};

    // One application whose window holds `content`.
    void app(std::vector<El> content) {
        ax.addApplication(100,
                          El("AXApplication").id("app").kids({El("AXWindow").id("window").kids(std::move(content))}));
    }
    std::vector<std::string> labelsOf(const std::string& name) { return AX::labels(ax.element(name)); }
};

TEST_F(AXElement, TypedReadsGiveAbsenceForMissingOrMistypedValues) {
    app({El("AXCheckBox").id("box").number(1).attr("AXTitle", 3.0).frame(1, 2, 3, 4)});
    const auto box = ax.element("box");
    EXPECT_EQ(AX::role(box), "AXCheckBox");
    EXPECT_EQ(AX::string(box, "AXTitle"), std::nullopt);  // a number is not a string
    EXPECT_EQ(AX::attr<double>(box, "AXValue"), 1.0);
    EXPECT_EQ(AX::string(box, "AXHelp"), std::nullopt);
    EXPECT_EQ(AX::size(box, "AXPosition"), std::nullopt);
    EXPECT_EQ(AX::frame(box), (AX::Rect{1, 2, 3, 4}));
    EXPECT_EQ(AX::application(100), ax.element("app"));
    EXPECT_EQ(AX::application(101), std::nullopt);
    EXPECT_EQ(AX::windows(ax.element("app")).size(), 1u);
    EXPECT_TRUE(AX::children(box).empty());

    ax.setUnresponsive("box", true);
    EXPECT_EQ(AX::role(box), std::nullopt);
    EXPECT_TRUE(AX::attrActions(box).empty());
}

TEST_F(AXElement, NoBackendMeansAbsenceNotACrash) {
    app({El("AXButton").id("b").title("Save").actions({"AXPress"})});
    const auto button = ax.element("b");
    platform::services().accessibility = nullptr;
    EXPECT_EQ(AX::role(button), std::nullopt);
    EXPECT_TRUE(AX::labels(button).empty());
    EXPECT_FALSE(AX::press(button));
    EXPECT_EQ(AX::elementAt({1, 1}), std::nullopt);
    platform::services().accessibility = &ax;
}

TEST_F(AXElement, FrameNeedsBothPositionAndSize) {
    app({El("AXButton").id("b").attr("AXPosition", platform::Point{5, 6})});
    EXPECT_EQ(AX::frame(ax.element("b")), std::nullopt);
}

TEST_F(AXElement, SetFrameWritesSizeBeforePositionAndSkipsWhatIsNotGiven) {
    app({});
    const auto window = ax.element("window");
    AX::setFrame(window, std::nullopt, AX::Size{640, 480});
    EXPECT_EQ(ax.calls, std::vector<std::string>{"setSize window"});

    ax.clearCalls();
    AX::setFrame(window, AX::Point{10, 20}, AX::Size{800, 600});
    EXPECT_EQ(ax.calls, (std::vector<std::string>{"setSize window", "setPosition window"}));
    EXPECT_EQ(AX::frame(window), (AX::Rect{10, 20, 800, 600}));

    ax.clearCalls();
    AX::setFrame(window, AX::Point{NAN, 0}, AX::Size{INFINITY, 1});
    EXPECT_TRUE(ax.calls.empty());
}

TEST_F(AXElement, LabelsKeepOrderAndRepeatsAndSkipEmptyValues) {
    app({El("AXButton").id("a").title("").description("Save").help("Saves the file"),
         El("AXButton").id("b").title("OK").description("OK"),
         El("AXButton")
             .id("c")
             .attr("AXLabel", "last")
             .attr("AXPlaceholderValue", "hint")
             .attr("AXIdentifier", "id")
             .help(" padded ")
             .title("T")});
    EXPECT_EQ(labelsOf("a"), (std::vector<std::string>{"Save", "Saves the file"}));
    EXPECT_EQ(labelsOf("b"), (std::vector<std::string>{"OK", "OK"}));
    EXPECT_EQ(labelsOf("c"), (std::vector<std::string>{"T", "id", " padded ", "hint", "last"}));
}

TEST_F(AXElement, ValueCountsAsLabelUpTo199UserPerceivedCharacters) {
    const std::string decomposedE = "e\u0301";  // one character, three bytes
    app({El("AXTextField").id("199").value(repeated("x", 199)), El("AXTextField").id("200").value(repeated("x", 200)),
         El("AXTextField").id("wide").value(repeated(decomposedE, 199)),
         El("AXTextField").id("wider").value(repeated(decomposedE, 200)), El("AXCheckBox").id("number").number(1),
         El("AXTextField").id("empty").value("")});
    EXPECT_EQ(labelsOf("199"), std::vector<std::string>{repeated("x", 199)});
    EXPECT_TRUE(labelsOf("200").empty());
    EXPECT_EQ(labelsOf("wide"), std::vector<std::string>{repeated(decomposedE, 199)});
    EXPECT_TRUE(labelsOf("wider").empty());
    EXPECT_TRUE(labelsOf("number").empty());
    EXPECT_TRUE(labelsOf("empty").empty());
}

TEST_F(AXElement, StaticTextFallbackReadsOnlyTheFirstFourChildren) {
    app({El("AXGroup").id("group").kids({El("AXImage").value("icon"), El("AXStaticText").value("Name:"),
                                         El("AXStaticText").value("Bob"), El("").value("no role"),
                                         El("AXStaticText").id("fifth").value("never")}),
         El("AXGroup").id("long").kids({El("AXStaticText").value(repeated("y", 300))})});
    EXPECT_EQ(labelsOf("group"), (std::vector<std::string>{"Name:", "Bob"}));
    EXPECT_FALSE(wasCalled(ax, "attribute fifth AXRole"));
    EXPECT_FALSE(wasCalled(ax, "attribute fifth AXValue"));
    EXPECT_EQ(labelsOf("long"), std::vector<std::string>{repeated("y", 300)});  // no length limit here
}

TEST_F(AXElement, OwnLabelsNeverConsultChildren) {
    app({El("AXButton").id("b").title("Save").kids({El("AXStaticText").value("inner")})});
    ax.clearCalls();
    EXPECT_EQ(labelsOf("b"), std::vector<std::string>{"Save"});
    EXPECT_FALSE(wasCalled(ax, "children b"));
}

TEST_F(AXElement, DescribeGivesRoleAndFirstLabel) {
    app({El("AXButton").id("b").description("Open").help("Opens"), El("").id("bare")});
    const AX::Description button = AX::describe(ax.element("b"));
    EXPECT_EQ(button.role, "AXButton");
    EXPECT_EQ(button.label, "Open");
    const AX::Description bare = AX::describe(ax.element("bare"));
    EXPECT_EQ(bare.role, std::nullopt);
    EXPECT_EQ(bare.label, std::nullopt);
}

TEST_F(AXElement, PressPrefersPressThenConfirmAndOtherwiseSendsNothing) {
    app({El("AXButton").id("both").actions({"AXConfirm", "AXPress"}),
         El("AXTextField").id("confirm").actions({"AXConfirm"}), El("AXImage").id("none").actions({"AXShowMenu"})});
    EXPECT_TRUE(AX::press(ax.element("both")));
    EXPECT_TRUE(wasCalled(ax, "perform both AXPress"));
    EXPECT_FALSE(wasCalled(ax, "perform both AXConfirm"));

    EXPECT_TRUE(AX::press(ax.element("confirm")));
    EXPECT_TRUE(wasCalled(ax, "perform confirm AXConfirm"));

    ax.clearCalls();
    EXPECT_FALSE(AX::press(ax.element("none")));
    EXPECT_EQ(ax.calls, std::vector<std::string>{"actions none"});
}

TEST_F(AXElement, HitTestClimbsToTheLabelledControl) {
    // The loose static text is the fifth child of an unlabelled group, so no element above it has labels.
    app({El("AXButton")
             .id("button")
             .title("Save")
             .frame(10, 10, 100, 30)
             .kids({El("AXStaticText").id("buttonText").value("Save").frame(20, 15, 40, 20)}),
         El("AXGroup")
             .id("group")
             .frame(10, 100, 200, 50)
             .kids({El("AXStaticText").id("groupText").value("Status").frame(20, 110, 60, 20)}),
         El("AXGroup").kids({El("AXImage"), El("AXImage"), El("AXImage"), El("AXImage"),
                             El("AXStaticText").id("bare").value("Loose").frame(300, 300, 50, 20)})});
    EXPECT_EQ(ax.nameOf(*AX::elementAt({30, 20})), "button");
    EXPECT_EQ(ax.nameOf(*AX::elementAt({30, 120})), "group");  // labelled by its static text child
    EXPECT_EQ(ax.nameOf(*AX::elementAt({310, 305})), "bare");  // nothing qualifies: the hit itself
    ax.setHitTestFails(true);
    EXPECT_EQ(AX::elementAt({30, 20}), std::nullopt);
}

TEST_F(AXElement, HitTestConsidersAtMostFourElements) {
    // A labelled control five levels above the hit is out of reach; four levels above is the last in reach.
    app({El("AXButton")
             .id("far")
             .title("Far")
             .kids({El("AXGroup").kids(
                 {El("AXGroup").kids({El("AXGroup").kids({El("AXGroup").kids({El("AXImage").id("deep")})})})})}),
         El("AXButton")
             .id("near")
             .title("Near")
             .kids({El("AXGroup").kids({El("AXGroup").kids({El("AXImage").id("shallow")})})})});
    ax.setHit("deep");
    EXPECT_EQ(ax.nameOf(*AX::elementAt({0, 0})), "deep");
    ax.setHit("shallow");
    EXPECT_EQ(ax.nameOf(*AX::elementAt({0, 0})), "near");
}

TEST_F(AXElement, HitTestStopsAtATextEntryLabelledOrNot) {
    // An empty document inside a scroll area of a titled window; a field whose only child is hit.
    ax.addApplication(
        100, El("AXApplication").kids({El("AXWindow").title("Doc").kids({
                 El("AXScrollArea").kids({El("AXTextArea").id("document").frame(0, 0, 400, 300)}),
                 El("AXTextField").id("field").frame(0, 400, 200, 20).kids({El("AXGroup").frame(0, 400, 200, 20)}),
             })}));
    EXPECT_EQ(ax.nameOf(*AX::elementAt({200, 150})), "document");  // not the window "Doc"
    EXPECT_EQ(ax.nameOf(*AX::elementAt({100, 410})), "field");
}

TEST_F(AXElement, HitTestPassesSinglePrecisionCoordinates) {
    app({El("AXButton").id("b").title("B").frame(0, 0, 10, 10)});
    // 9.99999999 is 10 in single precision, which lies outside the button.
    EXPECT_EQ(AX::elementAt({9.99999999, 5}), std::nullopt);
    EXPECT_EQ(ax.nameOf(*AX::elementAt({9.5, 5})), "b");
}

TEST_F(AXElement, HandlesCompareByElementAndAreReleased) {
    const int before = fakes::FakeAccessibility::liveHandles();
    {
        app({El("AXButton").id("b").title("Save"), El("AXButton").id("c").title("Save")});
        EXPECT_EQ(ax.element("b"), ax.element("b"));
        EXPECT_FALSE(ax.element("b") == ax.element("c"));
        const auto parent = AX::attr<AX::Element>(ax.element("b"), "AXParent");
        ASSERT_TRUE(parent);
        EXPECT_EQ(*parent, ax.element("window"));
        AX::labels(ax.element("window"));
        AX::elementAt({1, 1});
    }
    EXPECT_EQ(fakes::FakeAccessibility::liveHandles(), before);
}

}  // namespace
