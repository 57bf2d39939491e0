// Performing scripted steps over the in-memory tree and input fake: what each action does, in which order,
// with which pauses, and every message a failing step gives.

#include <gmock/gmock.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "run/perform.h"
#include "run/preflight.h"
#include "step_fakes.h"

namespace {

using fakes::PostedEvent;
using Kind = fakes::PostedEvent::Kind;
using steptest::failure;
using steptest::kPid;
using steptest::step;
using ::testing::StartsWith;

class Perform : public steptest::StepTest {
protected:
    void perform(const jobs::Step& s, size_t index = 0) {
        run::perform(s, index, kPid, ax.element("app"), ax.element("window"), log);
    }
    jobs::Step labelled(const std::string& action, const std::string& label) {
        jobs::Step s = step(action);
        s.label = label;
        return s;
    }
};

TEST_F(Perform, ClickPressesThroughAccessibilityAfterLoggingAndPausesWithoutMovingThePointer) {
    size_t loggedAtPress = 0;
    ax.onAction("save", "AXPress", [&] { loggedAtPress = log.clicks().size(); });
    perform(labelled("click", "save"));
    EXPECT_EQ(presses(), (std::vector<std::string>{"save AXPress"}));
    EXPECT_EQ(loggedAtPress, 1u);  // logged before it happens
    EXPECT_TRUE(input.events.empty());
    ASSERT_EQ(log.clicks().size(), 1u);
    EXPECT_EQ(
        log.clicks()[0],
        (Out::Message{{"t", 0.0}, {"x", 140.0 / 800}, {"y", 110.0 / 600}, {"role", "AXButton"}, {"label", "Save"}}));
    EXPECT_EQ(pauses(), (std::vector<double>{0.45}));
    EXPECT_TRUE(platform.clock.sleeps.empty());  // found on the first pass
}

TEST_F(Perform, ClickOnAnElementWithoutPressClicksThePointerAtItsCentre) {
    perform(labelled("click", "Open"));
    ASSERT_EQ(input.events.size(), 3u);
    const Kind kinds[] = {Kind::mouseMoved, Kind::leftDown, Kind::leftUp};
    const double at[] = {0, 0.03, 0.07};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(input.events[i].kind, kinds[i]);
        EXPECT_EQ(input.events[i].point.x, 240);
        EXPECT_EQ(input.events[i].point.y, 110);
        EXPECT_NEAR(input.events[i].atSeconds - start, at[i], 1e-9);
    }
    EXPECT_EQ(log.clicks()[0]["label"], "Open");
    EXPECT_EQ(pauses(), (std::vector<double>{0.45}));
}

// A target in another top-level window of the application is acted on, but its click is not logged at a
// point of the recorded window (where the movie shows something else); standard error names the window.
TEST_F(Perform, AClickInAnotherWindowActsIsNotLoggedAndSaysWhereItActed) {
    using fakes::El;
    ax.addChild("second", El("AXButton").id("send").title("Send").frame(140, 100, 80, 20).actions({"AXPress"})
                              .ref("AXWindow", "second"));
    ax.addChild("window", El("AXButton").id("below").title("Below").frame(100, 700, 80, 20).actions({"AXPress"})
                              .ref("AXWindow", "window"));
    fflush(stderr);
    char path[] = "/tmp/qc-perform-stderr-XXXXXX";
    const int fd = mkstemp(path);
    const int saved = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    perform(labelled("click", "Send"), 2);
    perform(labelled("click", "Below"), 3);  // in the recorded window, but outside the recorded area
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::ifstream written(path);
    const std::string errors((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    close(fd);
    unlink(path);
    EXPECT_EQ(presses(), (std::vector<std::string>{"send AXPress", "below AXPress"}));
    EXPECT_TRUE(log.clicks().empty()) << log.clicks().size();
    EXPECT_NE(errors.find("step 3 (click): acted in the window \"Second\", which is not recorded"), std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("step 4"), std::string::npos) << errors;
}

// A step that reports success must have had its effect: a pointer click at a point on another process's
// window (or on none), and keys no window of the application would take, fail the step instead.
TEST_F(Perform, InputThatCannotReachTheApplicationFailsTheStep) {
    input.windowsTopFirst = {{kPid + 1, {200, 90, 100, 40}}, {kPid, {0, 0, 800, 600}}};
    EXPECT_EQ(failure([&] { perform(labelled("click", "Open"), 1); }),
              "external: step 2 (click): the element's centre (240, 110) lies on no window of the application");
    EXPECT_TRUE(input.events.empty());
    input.windowsTopFirst = {{kPid, {0, 0, 800, 600}}};
    perform(labelled("click", "Open"));
    EXPECT_EQ(input.events.size(), 3u);
    input.events.clear();

    input.unfocusable = {kPid};
    jobs::Step typing = step("type");
    typing.value = "abc";
    EXPECT_EQ(failure([&] { perform(typing, 2); }),
              "external: step 3 (type): the keys could not be delivered: no window of the application took the "
              "keyboard focus");
    EXPECT_EQ(failure([&] { perform(step("press"), 4); }),
              "external: step 5 (press): the keys could not be delivered: no window of the application took the "
              "keyboard focus");
    EXPECT_TRUE(input.events.empty());
}

TEST_F(Perform, TargetFailuresSayWhatWasWantedHowLongAndWhatIsCloseInTheWindow) {
    jobs::Step missing = labelled("click", "Sve");
    missing.ms = 2000;
    EXPECT_EQ(failure([&] { perform(missing); }),
              "not_found: step 1 (click): no element with role * and label \"Sve\" after 2000 ms; closest now: "
              "AXButton \"Save\", AXButton \"Open\", AXTextField \"Name\", AXWindow \"Doc\", AXButton \"Ghost\", "
              "AXList \"Rows\"");
    EXPECT_GE(elapsed(), 2.0);  // waited for it, in 0.15 s blocking sleeps
    EXPECT_LT(elapsed(), 2.0 + 0.15 + 1e-9);
    EXPECT_TRUE(pauses().empty());

    // ms 0 still searches once and sleeps once; no ms means five seconds; a role is named as given.
    platform.clock.sleeps.clear();
    missing.ms = 0;
    missing.role = "Button";
    EXPECT_THAT(failure([&] { perform(missing, 3); }),
                StartsWith("not_found: step 4 (click): no element with role Button and label \"Sve\" after 0 ms; "));
    EXPECT_EQ(platform.clock.sleeps, (std::vector<double>{0.15}));
    jobs::Step typed = step("type");
    typed.role = "AXSlider";
    EXPECT_THAT(failure([&] { perform(typed, 1); }),
                StartsWith("not_found: step 2 (type): no element with role AXSlider and label * after 5000 ms; "));

    // Without role and label: refused at once, without waiting.
    platform.clock.sleeps.clear();
    EXPECT_EQ(failure([&] { perform(step("click"), 2); }), "bad_request: step 3 (click) needs role and/or label");
    EXPECT_EQ(failure([&] { perform(step("focus"), 0); }), "bad_request: step 1 (focus) needs role and/or label");
    EXPECT_TRUE(platform.clock.sleeps.empty());

    // Found but without a frame: nothing is pressed.
    EXPECT_EQ(failure([&] { perform(labelled("click", "Ghost"), 4); }), "external: step 5: element has no frame");
    EXPECT_TRUE(presses().empty());
    EXPECT_TRUE(log.clicks().empty());
}

TEST_F(Perform, OtherRefusalsNameTheStepActionOrKey) {
    jobs::Step hyper = step("press");
    hyper.key = "x+Hyper";  // the last part that is no modifier names the key
    EXPECT_EQ(failure([&] { perform(hyper); }), "bad_request: unknown key x+Hyper");
    EXPECT_EQ(failure([&] { perform(step("Click")); }), "bad_request: unknown step action Click");
    EXPECT_EQ(failure([&] { perform(step("menu"), 1); }), "bad_request: step 2: menu needs a path");
    jobs::Step empty = step("menu");
    empty.path = std::vector<std::string>{};
    EXPECT_EQ(failure([&] { perform(empty, 6); }), "bad_request: step 7: menu needs a path");
    EXPECT_TRUE(input.events.empty());
    EXPECT_TRUE(pauses().empty());
}

TEST_F(Perform, FocusGivesKeyboardFocusWithoutLoggingOrPausing) {
    perform(labelled("focus", "name"));
    EXPECT_EQ(ax.calls.back(), "setFocused name");
    EXPECT_TRUE(log.clicks().empty());
    EXPECT_TRUE(pauses().empty());
}

TEST_F(Perform, TypeIntoATargetFocusesLogsPausesTypesAndPauses) {
    jobs::Step typed = labelled("type", "Name");
    typed.text = "ignored";
    typed.value = "é\nb";
    perform(typed);
    EXPECT_NE(std::find(ax.calls.begin(), ax.calls.end(), "setFocused name"), ax.calls.end());
    ASSERT_EQ(log.clicks().size(), 1u);
    EXPECT_EQ(log.clicks()[0]["x"], 110.0 / 800);
    EXPECT_EQ(log.clicks()[0]["role"], "AXTextField");
    EXPECT_EQ(log.clicks()[0]["label"], "Name");
    // é at 0.15 s (after the focus pause), Enter down and up 12 ms apart, then b.
    ASSERT_EQ(input.events.size(), 4u);
    EXPECT_EQ(input.events[0].character, "é");
    EXPECT_EQ(input.events[0].pid, kPid);
    EXPECT_NEAR(input.events[0].atSeconds - start, 0.15, 1e-9);
    EXPECT_EQ(input.events[1].kind, Kind::keyDown);
    EXPECT_EQ(input.events[1].keyCode, 36);
    EXPECT_NEAR(input.events[1].atSeconds - start, 0.185, 1e-9);
    EXPECT_EQ(input.events[2].kind, Kind::keyUp);
    EXPECT_EQ(input.events[3].character, "b");
    EXPECT_NEAR(input.events[3].atSeconds - start, 0.209, 1e-9);
    EXPECT_EQ(pauses(), (std::vector<double>{0.15, 0.3}));
    EXPECT_NEAR(elapsed(), 0.15 + 0.035 + 0.024 + 0.035 + 0.3, 1e-9);
}

TEST_F(Perform, TypeWithoutATargetGoesToTheFocusAndTypesTextOrNothing) {
    jobs::Step typed = step("type");
    typed.text = "hi";
    perform(typed);
    EXPECT_EQ(input.typedText(), "hi");
    EXPECT_TRUE(log.clicks().empty());
    EXPECT_EQ(ax.calls, std::vector<std::string>{});  // no lookup, no focus
    perform(step("type"));
    EXPECT_EQ(input.typedText(), "hi");
    EXPECT_EQ(pauses(), (std::vector<double>{0.3, 0.3}));  // still pauses after typing nothing
}

TEST_F(Perform, PressSendsTheCombinationToTheProcessEnterByDefault) {
    perform(step("press"));
    jobs::Step undo = step("press");
    undo.key = "cmd+shift+z";
    perform(undo);
    ASSERT_EQ(input.events.size(), 4u);
    EXPECT_EQ(input.events[0].keyCode, 36);
    EXPECT_EQ(input.events[0].flags, 0u);
    EXPECT_EQ(input.events[0].pid, kPid);
    EXPECT_EQ(input.events[2].keyCode, 6);
    EXPECT_EQ(input.events[2].flags, platform::modifier::command | platform::modifier::shift);
    EXPECT_EQ(input.events[3].kind, Kind::keyUp);
    EXPECT_EQ(pauses(), (std::vector<double>{0.3, 0.3}));
    EXPECT_TRUE(log.clicks().empty());
}

TEST_F(Perform, WithoutAnInterfaceKeysAndWaitsStillActWhileTargetsAndMenusFailWithTheirOwnMessages) {
    const std::optional<platform::Element> none;
    jobs::Step press = step("press");
    press.key = "left";
    run::perform(press, 0, kPid, none, none, log);
    ASSERT_EQ(input.events.size(), 2u);
    EXPECT_EQ(input.events[0].pid, kPid);
    jobs::Step scroll = step("scroll");
    run::ClickLog recorded({100, 50, 640, 480}, [] { return std::optional<double>(); });
    run::perform(scroll, 1, kPid, none, none, recorded);
    // No element frame: the centre of the recorded area, never the screen's corner.
    EXPECT_EQ(input.events[2].point.x, 420);
    EXPECT_EQ(input.events[2].point.y, 290);
    jobs::Step click = labelled("click", "okay");
    click.ms = 300;
    EXPECT_EQ(failure([&] { run::perform(click, 2, kPid, none, none, log); }),
              "not_found: step 3 (click): no element with role * and label \"okay\" after 300 ms; closest now: ");
    EXPECT_NEAR(platform.clock.sleeps.back(), 0.3, 1e-9);  // the step still took its time
    jobs::Step menu = step("menu");
    menu.path = std::vector<std::string>{"File"};
    EXPECT_EQ(failure([&] { run::perform(menu, 3, kPid, none, none, log); }), "external: no menu bar");
    EXPECT_TRUE(log.clicks().empty());
}

TEST_F(Perform, ScrollAtTheTargetTheWindowOrTheRecordedAreaInEightEvents) {
    auto scrolls = [&] {
        std::vector<PostedEvent> found;
        for (const auto& event : input.events)
            if (event.kind == Kind::scroll) found.push_back(event);
        input.events.clear();
        return found;
    };
    perform(step("scroll"));  // the window's centre, 300 pixels down
    auto events = scrolls();
    ASSERT_EQ(events.size(), 8u);
    for (const auto& event : events) {
        EXPECT_EQ(event.point.x, 400);
        EXPECT_EQ(event.point.y, 300);
        EXPECT_EQ(event.dyPixels, -37);
        EXPECT_EQ(event.dxPixels, 0);
    }

    jobs::Step onList = labelled("scroll", "Rows");
    onList.x = 40;
    onList.y = 120;
    perform(onList);
    events = scrolls();
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[0].point.x, 200);
    EXPECT_EQ(events[0].point.y, 400);
    EXPECT_EQ(events[0].dxPixels, -5);
    EXPECT_EQ(events[0].dyPixels, -15);

    perform(labelled("scroll", "Ghost"));  // a target without a frame: the window's centre
    EXPECT_EQ(scrolls()[0].point.x, 400);
    ax.setAttribute("window", "AXSize", std::string("no size"));  // no window frame either: the recorded area
    run::ClickLog recorded({100, 50, 640, 480}, [] { return std::optional<double>(); });
    run::perform(step("scroll"), 0, kPid, ax.element("app"), ax.element("window"), recorded);
    events = scrolls();
    EXPECT_EQ(events[0].point.x, 420);
    EXPECT_EQ(events[0].point.y, 290);
    EXPECT_EQ(pauses(), (std::vector<double>{0.35, 0.35, 0.35, 0.35}));
    EXPECT_TRUE(log.clicks().empty());
}

TEST_F(Perform, WaitPausesForItsTimeAtMostThirtySeconds) {
    jobs::Step w = step("wait");
    perform(w);
    w.ms = 250;
    perform(w);
    w.ms = 45000;
    perform(w);
    w.ms = -5;
    perform(w);
    w.ms = 0;
    perform(w);
    EXPECT_EQ(pauses(), (std::vector<double>{0.5, 0.25, 30}));
}

TEST_F(Perform, MenuPressesEachTitleInsideThePreviousOneWithItsPauses) {
    jobs::Step m = step("menu");
    m.path = std::vector<std::string>{"File", "Export…", "PNG"};
    perform(m);
    EXPECT_EQ(presses(), (std::vector<std::string>{"file AXPress", "export AXPress", "png AXPress"}));
    EXPECT_EQ(pauses(), (std::vector<double>{0.25, 0.25, 0.25, 0.3}));
    EXPECT_TRUE(log.clicks().empty());
    EXPECT_TRUE(input.events.empty());
}

TEST_F(Perform, MenuTitlesMatchInAnyCaseAndInPartButAnExactTitleWins) {
    auto chosen = [&](std::vector<std::string> path) {
        ax.clearCalls();
        jobs::Step m = step("menu");
        m.path = std::move(path);
        perform(m);
        return presses().back();
    };
    EXPECT_EQ(chosen({"file", "save"}), "saveItem AXPress");  // "Save As…" comes first but only contains it
    EXPECT_EQ(chosen({"FILE", "save as"}), "saveAs AXPress");
    EXPECT_EQ(chosen({"fi", "expo", "jp"}), "jpeg AXPress");
}

TEST_F(Perform, AMissingMenuTitleListsTheClosestTitlesOfTheMenuItWasLookedFor) {
    jobs::Step m = step("menu");
    m.path = std::vector<std::string>{"File", "Exprot"};
    EXPECT_EQ(failure([&] { perform(m, 1); }),
              "not_found: step 2: menu item Exprot not found; closest: \"Export…\", \"Save As…\", \"Save\", "
              "\"Close\"");
    EXPECT_EQ(presses(), (std::vector<std::string>{"file AXPress"}));  // what was done stays done

    m.path = std::vector<std::string>{"Fiel"};
    EXPECT_EQ(failure([&] { perform(m); }), "not_found: step 1: menu item Fiel not found; closest: \"File\", \"Edit\"");

    // A title is looked for only under the item pressed before it.
    m.path = std::vector<std::string>{"Edit", "Save"};
    EXPECT_THAT(failure([&] { perform(m); }), StartsWith("not_found: step 1: menu item Save not found; closest: "));

    // An item that opens nothing is listed itself.
    m.path = std::vector<std::string>{"File", "Close", "Now"};
    EXPECT_EQ(failure([&] { perform(m); }), "not_found: step 1: menu item Now not found; closest: ");
}

// Without a menu bar, or a button of that title, a path's first title is missing like any menu title: the
// step number, the titles of the window's buttons that a path may start at, code "not_found".
TEST_F(Perform, AnApplicationWithoutAMenuBarFailsAMenuStep) {
    using fakes::El;
    const auto bare = ax.addApplication(7, El("AXApplication").kids({El("AXWindow").id("w7")}));
    jobs::Step m = step("menu");
    m.path = std::vector<std::string>{"File"};
    EXPECT_EQ(failure([&] { run::perform(m, 0, 7, bare, ax.element("w7"), log); }),
              "not_found: step 1: menu item File not found; closest: ");
    const auto buttons = ax.addApplication(
        8, El("AXApplication")
               .kids({El("AXWindow").id("w8").kids({El("AXButton").title("Close").actions({"AXPress"}),
                                                    El("AXCheckBox").subrole("AXToggle").title("Menu").actions({"AXPress"}),
                                                    El("AXStaticText").value("Mean")})}));
    m.path = std::vector<std::string>{"Meun", "Find"};
    EXPECT_EQ(failure([&] { run::perform(m, 4, 8, buttons, ax.element("w8"), log); }),
              "not_found: step 5: menu item Meun not found; closest: \"Menu\", \"Close\"");
    EXPECT_TRUE(presses().empty());
}

// Without a menu bar, a path's first title may be a button of the window whose press opens a pop-over: its
// items are looked for in the pop-over once it has shown them, with the menu bar's pauses.
TEST_F(Perform, WithoutAMenuBarAButtonOfTheWindowOpensAPopoverWhoseItemsAreChosen) {
    const auto app = ax.addApplication(
        7, fakes::El("AXApplication")
               .kids({fakes::El("AXWindow").id("w7").frame(0, 0, 800, 600).kids(
                   {fakes::El("AXButton").id("view").title("View").frame(500, 5, 30, 30).actions({"AXPress"})})}));
    ax.onAction("view", "AXPress", [&] {
        ax.addChild("view", fakes::El("AXMenu").kids({fakes::El("AXMenuItem").id("lines").title("Line Numbers").actions(
                                                          {"AXPress"})}));
    });
    jobs::Step m = step("menu");
    m.path = std::vector<std::string>{"view", "line num"};
    run::perform(m, 0, 7, app, ax.element("w7"), log);
    EXPECT_EQ(presses(), (std::vector<std::string>{"view AXPress", "lines AXPress"}));
    EXPECT_EQ(pauses(), (std::vector<double>{0.25, 0.25, 0.3}));
    EXPECT_TRUE(log.clicks().empty());

    // A title the pop-over does not have fails as a menu title does, once the pop-over had its time, listing
    // the pop-over's items.
    m.path = std::vector<std::string>{"View", "Zoom"};
    EXPECT_EQ(failure([&] { run::perform(m, 2, 7, app, ax.element("w7"), log); }),
              "not_found: step 3: menu item Zoom not found; closest: \"Line Numbers\"");
}

// A toggle button that opens a pop-over (the main menu of some programs without a menu bar): the path is
// walked from it as from a menu bar title. An application with a menu bar reaches such a button too, for a
// first title its menu bar lacks.
TEST_F(Perform, AToggleButtonOfTheWindowOpensAMenuLikeAMenuBarTitle) {
    using fakes::El;
    const auto app = ax.addApplication(
        7, El("AXApplication")
               .ref("AXMenuBar", "bar7")
               .kids({El("AXWindow").id("w7").frame(0, 0, 800, 600).kids(
                          {El("AXGroup").kids({El("AXCheckBox").subrole("AXToggle").id("menu").title("Menu")
                                                   .frame(700, 5, 30, 30).actions({"AXPress"})})}),
                      El("AXMenuBar").id("bar7").kids({El("AXMenuBarItem").id("file").title("File").actions({"AXPress"})})}));
    ax.onAction("menu", "AXPress", [&] {
        ax.addChild("menu", El("AXMenu").kids({El("AXMenuItem").id("find").title("Find…").actions({"AXPress"}),
                                               El("AXMenuItem").id("prefs").title("Preferences").actions({"AXPress"})}));
    });
    jobs::Step m = step("menu");
    m.path = std::vector<std::string>{"menu", "find"};
    EXPECT_EQ(run::preflight({m}, app, ax.element("w7")),
              (nlohmann::json{{"checked", nlohmann::json::array()},
                              {"deferred",
                               {{{"step", 1}, {"role", "AXMenuItem"}, {"label", "find"},
                                 {"closestNow", nlohmann::json::array()}}}}}));
    run::perform(m, 0, 7, app, ax.element("w7"), log);
    EXPECT_EQ(presses(), (std::vector<std::string>{"menu AXPress", "find AXPress"}));
    EXPECT_TRUE(log.clicks().empty());
    // A first title neither in the menu bar nor a button: the menu bar's titles are suggested.
    m.path = std::vector<std::string>{"Fiel"};
    EXPECT_EQ(failure([&] { run::perform(m, 1, 7, app, ax.element("w7"), log); }),
              "not_found: step 2: menu item Fiel not found; closest: \"File\"");
}

// A menu that the application fills as it opens (as Firefox does): the preflight checks the path up to it
// and defers the rest; the run walks it once filled, gives a menu that stays empty the step's time, and fails
// a title missing from a filled menu at once.
TEST_F(Perform, AMenuFilledAsItOpensIsCheckedUpToItAndWaitedForAtTheRun) {
    using fakes::El;
    auto item = [](const std::string& id, const std::string& title) {
        return El("AXMenuItem").id(id).title(title).actions({"AXPress"});
    };
    auto opener = [](const std::string& id, const std::string& title) {
        return El("AXMenuBarItem").id(id).title(title).actions({"AXPress"}).kids({El("AXMenu").id(id + "Menu")});
    };
    const auto app = ax.addApplication(
        7, El("AXApplication")
               .ref("AXMenuBar", "bar7")
               .kids({El("AXWindow").id("w7").frame(0, 0, 800, 600),
                      El("AXMenuBar").id("bar7").kids({opener("view", "View"), opener("history", "History")})}));
    jobs::Step m = step("menu");
    m.path = std::vector<std::string>{"View", "Zoom", "Zoom In"};
    EXPECT_EQ(run::preflight({m}, app, ax.element("w7")),
              (nlohmann::json{{"checked", nlohmann::json::array()},
                              {"deferred",
                               {{{"step", 1}, {"role", "AXMenuItem"}, {"label", "Zoom"},
                                 {"closestNow", nlohmann::json::array()}}}}}));

    bool filled = false;
    ax.onAction("view", "AXPress", [&] {
        if (std::exchange(filled, true)) return;
        ax.addChild("viewMenu", item("zoom", "Zoom").kids({El("AXMenu").id("zoomMenu")}));
        ax.addChild("viewMenu", item("full", "Full Screen"));
        ax.onAction("zoom", "AXPress", [&] { ax.addChild("zoomMenu", item("in", "Zoom In")); });
    });
    run::perform(m, 0, 7, app, ax.element("w7"), log);
    EXPECT_EQ(presses(), (std::vector<std::string>{"view AXPress", "zoom AXPress", "in AXPress"}));

    m.path = std::vector<std::string>{"View", "Zoon"};
    double before = platform.clock.host;
    EXPECT_EQ(failure([&] { run::perform(m, 1, 7, app, ax.element("w7"), log); }),
              "not_found: step 2: menu item Zoon not found; closest: \"Zoom\", \"Full Screen\"");
    EXPECT_LT(platform.clock.host - before, 1.0);

    m.path = std::vector<std::string>{"History", "Recent"};
    before = platform.clock.host;
    EXPECT_EQ(failure([&] { run::perform(m, 2, 7, app, ax.element("w7"), log); }),
              "not_found: step 3: menu item Recent not found; closest: ");
    EXPECT_GE(platform.clock.host - before, run::kTargetTimeoutSeconds);
}

TEST(StepKinds, TargetedAndChangesUIFollowTheActionAndTheTarget) {
    auto with = [](const char* action, bool target) {
        jobs::Step s = steptest::step(action);
        if (target) s.role = "AXButton";
        return s;
    };
    for (const char* action : {"click", "focus"}) {
        EXPECT_TRUE(run::targeted(with(action, false))) << action;
        EXPECT_TRUE(run::targeted(with(action, true))) << action;
    }
    for (const char* action : {"type", "scroll"}) {
        EXPECT_FALSE(run::targeted(with(action, false))) << action;
        EXPECT_TRUE(run::targeted(with(action, true))) << action;
    }
    for (const char* action : {"press", "wait", "menu", "Click"}) EXPECT_FALSE(run::targeted(with(action, true)));
    for (const char* action : {"click", "press", "type", "menu", "scroll"})
        EXPECT_TRUE(run::changesUI(with(action, false)));
    for (const char* action : {"focus", "wait", "Click"}) EXPECT_FALSE(run::changesUI(with(action, true)));
}

}  // namespace
