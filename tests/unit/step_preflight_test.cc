// The preflight of step targets over the in-memory tree: what is checked, what is deferred after a step
// that may change the interface, menus searched closed, and the two messages it fails with.

#include <gmock/gmock.h>

#include "run/preflight.h"
#include "step_fakes.h"

namespace {

using fakes::El;
using nlohmann::json;
using steptest::failure;
using steptest::step;
using ::testing::StartsWith;

class Preflight : public steptest::StepTest {
protected:
    json check(const std::vector<jobs::Step>& steps) {
        return run::preflight(steps, ax.element("app"), ax.element("window"));
    }
    static jobs::Step labelled(const std::string& action, const std::string& label) {
        jobs::Step s = step(action);
        s.label = label;
        return s;
    }
    static jobs::Step menu(std::vector<std::string> path) {
        jobs::Step s = step("menu");
        s.path = std::move(path);
        return s;
    }
    // Nothing was acted on: no press, focus, input or pause.
    void expectNothingDone() {
        EXPECT_TRUE(presses().empty());
        for (const std::string& call : ax.calls) EXPECT_EQ(call.rfind("setFocused", 0), std::string::npos) << call;
        EXPECT_TRUE(input.events.empty());
        EXPECT_TRUE(pauses().empty());
        EXPECT_TRUE(platform.clock.sleeps.empty());
    }
};

TEST_F(Preflight, AMissingTargetAfterAChangingStepIsDeferredWithWhatIsCloseNow) {
    const json result = check({labelled("click", "Save"), step("wait"), labelled("click", "Done")});
    EXPECT_EQ(result, (json{{"checked", {1}},
                            {"deferred",
                             {{{"step", 3},
                               {"role", ""},
                               {"label", "Done"},
                               {"closestNow",
                                {"AXWindow \"Doc\"", "AXButton \"Save\"", "AXButton \"Open\"", "AXTextField \"Name\"",
                                 "AXList \"Rows\"", "AXButton \"Ghost\""}}}}}}));
    expectNothingDone();
}

TEST_F(Preflight, AMissingTargetBeforeAnyChangingStepFailsWithSuggestions) {
    // "focus" and "wait" change nothing, so the step after them still fails.
    jobs::Step done = labelled("click", "Missing");
    EXPECT_THAT(failure([&] {
                    check({step("wait"), labelled("focus", "Name"), done});
                }),
                StartsWith("not_found: step 3 (click): no element with role * and label \"Missing\" in the window "
                           "before recording; closest: "));
    EXPECT_THAT(failure([&] {
                    check({labelled("focus", "Nmae"), done});
                }),
                StartsWith("not_found: step 1 (focus): no element with role * and label \"Nmae\" in the window "));
    done.role = "AXButton";
    EXPECT_EQ(failure([&] {
                  check({step("wait"), done});
              }),
              "not_found: step 2 (click): no element with role AXButton and label \"Missing\" in the window before "
              "recording; closest: AXButton \"Save\", AXButton \"Open\", AXButton \"Ghost\", AXList \"Rows\", "
              "AXWindow \"Doc\", AXTextField \"Name\". capture_inspect lists the window's elements.");
    // Neither role nor label: searched like any target, never found.
    EXPECT_THAT(failure([&] { check({step("click")}); }),
                StartsWith("not_found: step 1 (click): no element with role * and label * in the window "));
    expectNothingDone();
}

TEST_F(Preflight, AStepsOwnTargetIsCheckedBeforeItsChangeCounts) {
    EXPECT_NE(failure([&] { check({labelled("click", "Missing"), labelled("click", "Missing too")}); }), "no failure");
    // A "type" without a target is not checked but may change the interface.
    jobs::Step typed = step("type");
    typed.text = "x";
    const json result = check({typed, labelled("scroll", "Missing"), step("press"), labelled("type", "Name")});
    EXPECT_EQ(result["checked"], json({4}));
    ASSERT_EQ(result["deferred"].size(), 1u);
    EXPECT_EQ(result["deferred"][0]["step"], 2);
}

TEST_F(Preflight, TargetsAreSearchedInTheApplicationsOtherWindowsButNotInItsMenuBar) {
    EXPECT_EQ(check({labelled("click", "OK")}), (json{{"checked", {1}}, {"deferred", json::array()}}));
    // "Undo" is only in a menu: AX.wait would reach it, the preflight does not.
    EXPECT_NE(failure([&] { check({labelled("click", "Undo")}); }), "no failure");
    const json after = check({step("press"), labelled("click", "Undo")});
    EXPECT_EQ(after["deferred"][0]["step"], 2);
}

TEST_F(Preflight, MenuPathsAreFoundInClosedMenusWithoutPressingAnything) {
    EXPECT_EQ(check({menu({"file", "expo", "PNG"}), menu({"Edit", "copy"})}),
              (json{{"checked", {1, 2}}, {"deferred", json::array()}}));
    // No path: in neither list.
    const auto bare = ax.addApplication(7, El("AXApplication").kids({El("AXWindow").id("w7").title("Bare")}));
    EXPECT_EQ(run::preflight({step("menu"), menu({})}, bare, ax.element("w7")),
              (json{{"checked", json::array()}, {"deferred", json::array()}}));
    // No menu bar and no button of that title: missing before recording, with the buttons a path may start at.
    EXPECT_EQ(failure([&] { run::preflight({step("press"), menu({"File"})}, bare, ax.element("w7")); }),
              "not_found: step 2 (menu): no menu item \"File\" at the window's buttons; closest: ");
    EXPECT_EQ(check({}), (json{{"checked", json::array()}, {"deferred", json::array()}}));
    expectNothingDone();
}

TEST_F(Preflight, AMissingMenuTitleFailsWhateverCameBeforeNamingWhereItWasLookedFor) {
    EXPECT_EQ(failure([&] {
                  check({step("press"), menu({"File", "Exprot"})});
              }),
              "not_found: step 2 (menu): no menu item \"Exprot\" at File; closest: \"Export…\", \"Save As…\", "
              "\"Save\", \"Close\"");
    EXPECT_EQ(failure([&] { check({menu({"Fiel"})}); }),
              "not_found: step 1 (menu): no menu item \"Fiel\" at the menu bar; closest: \"File\", \"Edit\"");
    EXPECT_EQ(failure([&] {
                  check({menu({"File", "Export", "PGN"})});
              }),
              "not_found: step 1 (menu): no menu item \"PGN\" at File > Export; closest: \"PNG\", \"JPEG\"");
    // Past an item that opens no menu: missing, not a menu still to be filled.
    EXPECT_EQ(failure([&] { check({menu({"File", "Save", "Now"})}); }),
              "not_found: step 1 (menu): no menu item \"Now\" at File > Save; closest: ");
    expectNothingDone();
}

TEST_F(Preflight, WithoutAnInterfaceTargetsAreMissingAndMenusAreNotChecked) {
    const std::optional<platform::Element> none;
    const std::vector<jobs::Step> deferred{step("press"), labelled("click", "okay"), menu({"File"})};
    EXPECT_EQ(run::preflight(deferred, none, none),
              (json{{"checked", json::array()},
                    {"deferred", {{{"step", 2}, {"role", ""}, {"label", "okay"}, {"closestNow", json::array()}}}}}));
    EXPECT_EQ(failure([&] { run::preflight({labelled("focus", "okay")}, none, none); }),
              "not_found: step 1 (focus): no element with role * and label \"okay\" in the window before recording; "
              "closest: . capture_inspect lists the window's elements.");
    expectNothingDone();
}

TEST(IfEmpty, GivesTheReplacementOnlyForAnEmptyText) {
    EXPECT_EQ(run::ifEmpty("", "the menu bar"), "the menu bar");
    EXPECT_EQ(run::ifEmpty(" ", "the menu bar"), " ");
}

}  // namespace
