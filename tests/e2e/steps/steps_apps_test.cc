// Scripted steps driving third-party GTK 3 applications through `quorrel-capture run`: mousepad (a text
// editor with a classic menu bar) and the GTK 3 widget factory. Each application runs with a private home,
// and every effect is read back from the accessibility bus by the test itself.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app_process.h"
#include "atspi_reader.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using stepstest::Accessible;
using stepstest::PrivateHome;
using stepstest::StartedApp;
using stepstest::appJob;
using stepstest::describe;

using stepstest::holdsText;
using stepstest::textsOf;

// Polls until one of the application's text objects holds `text`.
bool eventuallyHoldsText(pid_t pid, const std::string& text) {
    return stepstest::eventually([&] { return holdsText(pid, text); }, true, 5);
}

TEST(StepsOnMousepad, TypedTextAShortcutAndAMenuCommandThreeLevelsDeepReallyAct) {
    PrivateHome home;
    StartedApp mousepad(home, {"mousepad", "--disable-server"}, "frame");
    ASSERT_TRUE(mousepad.ready) << "mousepad did not appear on the accessibility bus";
    const pid_t pid = mousepad.process.pid();

    // Non-ASCII text and a line feed, typed into the editor's text view found by its role.
    const std::string typed = "héllo wörld ✓\nzweite zeile";
    const auto typing = home.run(appJob("org.xfce.mousepad", home.path() + "/typing.mov",
                                     json::array({{{"action", "type"}, {"role", "TextArea"}, {"value", typed}}})));
    ASSERT_EQ(typing.status, 0) << describe(typing);
    EXPECT_TRUE(eventuallyHoldsText(pid, typed)) << "texts now: " << json(textsOf(pid)).dump();

    // cmd+a selects everything; Edit > Convert > To Uppercase, written in another case and in part.
    const auto converting = home.run(appJob("org.xfce.mousepad", home.path() + "/converting.mov",
                                         json::array({{{"action", "focus"}, {"role", "TextArea"}},
                                                      {{"action", "press"}, {"key", "cmd+a"}},
                                                      {{"action", "menu"}, {"path", {"EDIT", "conv", "uppercase"}}}})));
    ASSERT_EQ(converting.status, 0) << describe(converting);
    EXPECT_TRUE(eventuallyHoldsText(pid, "HÉLLO WÖRLD ✓\nZWEITE ZEILE")) << "texts now: " << json(textsOf(pid)).dump();
    EXPECT_EQ(converting.last()["preflight"], (json{{"checked", {1, 3}}, {"deferred", json::array()}}));

    // The menu is closed again after its command ran, and the keyboard is back in the text view, not on the
    // menu bar.
    const Accessible app = stepstest::applicationOf(pid);
    const Accessible item = stepstest::findObject(app, "menu item", "To Uppercase");
    ASSERT_TRUE(item);
    EXPECT_FALSE(stepstest::isShowing(item));
    const Accessible bar = stepstest::findObject(app, "menu bar", "", 400);
    ASSERT_TRUE(bar);
    EXPECT_FALSE(stepstest::isFocused(bar));
    const Accessible view = stepstest::findObject(app, "text");
    ASSERT_TRUE(view);
    EXPECT_TRUE(stepstest::eventually([&] { return stepstest::isFocused(view); }, true, 3));
}

TEST(StepsOnMousepad, PressingMenuTitlesOpensEachMenuOnScreen) {
    PrivateHome home;
    StartedApp mousepad(home, {"mousepad", "--disable-server"}, "frame");
    ASSERT_TRUE(mousepad.ready);
    // A path that ends at an item holding a menu leaves that menu open: Edit opened its menu, and Convert,
    // pressed inside it, opened its own.
    const auto run = home.run(appJob("org.xfce.mousepad", home.path() + "/open.mov",
                                  json::array({{{"action", "menu"}, {"path", {"Edit", "Convert"}}}})));
    ASSERT_EQ(run.status, 0) << describe(run);
    const Accessible app = stepstest::applicationOf(mousepad.process.pid());
    const Accessible selectAll = stepstest::findObject(app, "menu item", "Select All");
    const Accessible uppercase = stepstest::findObject(app, "menu item", "To Uppercase");
    ASSERT_TRUE(selectAll && uppercase);
    EXPECT_TRUE(stepstest::isShowing(selectAll));
    EXPECT_TRUE(stepstest::isShowing(uppercase));
}

TEST(StepsOnMousepad, AMenuItemThatOpensADialogLeavesTheApplicationAnsweringTheNextSteps) {
    PrivateHome home;
    StartedApp mousepad(home, {"mousepad", "--disable-server"}, "frame");
    ASSERT_TRUE(mousepad.ready);
    const pid_t pid = mousepad.process.pid();
    // "Go to..." runs a dialog of its own; its Cancel button must still be found and pressed, and the
    // menus after it must still work.
    const auto run = home.run(appJob("org.xfce.mousepad", home.path() + "/dialog.mov",
                                  json::array({{{"action", "type"}, {"role", "TextArea"}, {"text", "one\ntwo"}},
                                               {{"action", "menu"}, {"path", {"Search", "Go to"}}},
                                               {{"action", "click"}, {"role", "Button"}, {"label", "Cancel"}},
                                               {{"action", "menu"}, {"path", {"Edit", "Select All"}}},
                                               {{"action", "menu"}, {"path", {"Edit", "Convert", "To Uppercase"}}}})));
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_TRUE(eventuallyHoldsText(pid, "ONE\nTWO")) << "texts now: " << json(textsOf(pid)).dump();
    const Accessible app = stepstest::applicationOf(pid);
    EXPECT_FALSE(stepstest::isShowing(stepstest::findObject(app, "push button", "Cancel")));
    const json result = run.last();
    // The dialog is a window of its own, which the movie does not record: its Cancel is pressed but not
    // logged as a click of the main window, and standard error says where the step acted.
    ASSERT_EQ(result["clicks"].size(), 1u) << result["clicks"];
    EXPECT_EQ(result["clicks"][0]["role"], "AXTextArea");
    EXPECT_NE(run.err.find("step 3 (click): acted in the window \"Go To\", which is not recorded"), std::string::npos)
        << run.err;
    EXPECT_EQ(result["preflight"]["deferred"][0]["step"], 3);  // the dialog was not there before recording
}

TEST(StepsOnMousepad, AMenuTitleThatIsNotThereFailsBeforeRecordingWithTheNearestTitles) {
    PrivateHome home;
    StartedApp mousepad(home, {"mousepad", "--disable-server"}, "frame");
    ASSERT_TRUE(mousepad.ready);
    const std::string out = home.path() + "/never.mov";
    const auto run =
        home.run(appJob("org.xfce.mousepad", out,
                     json::array({{{"action", "type"}, {"text", "x"}},
                                  {{"action", "menu"}, {"path", {"Edit", "Convert", "To Uppercas", "Now"}}}})));
    EXPECT_EQ(run.status, 1) << describe(run);
    EXPECT_EQ(run.last()["code"], "not_found");
    EXPECT_EQ(run.last()["message"], "step 2 (menu): no menu item \"Now\" at Edit > Convert > To Uppercas; closest: ");
    for (const auto& line : run.lines()) EXPECT_EQ(line.find("Recording"), std::string::npos) << line;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(holdsText(mousepad.process.pid(), "x"));  // nothing was typed

    // A misspelt title lists the titles of the menu it was looked for in as a person reads them: without
    // the spaces mousepad pads its accessible names with, nearest first.
    const auto misspelt =
        home.run(appJob("org.xfce.mousepad", out, json::array({{{"action", "menu"}, {"path", {"Edit", "Convrt"}}}})));
    EXPECT_EQ(misspelt.status, 1) << describe(misspelt);
    const std::string head = "step 1 (menu): no menu item \"Convrt\" at Edit; closest: \"Convert\", \"";
    EXPECT_EQ(misspelt.last().value("message", "").substr(0, head.size()), head);
    EXPECT_EQ(misspelt.last().value("message", "").find("  "), std::string::npos);
}

TEST(StepsOnTheWidgetFactory, AShortcutReplacesTypedTextAndAClickSelectsTheSecondPage) {
    PrivateHome home;
    StartedApp factory(home, {"gtk3-widget-factory"}, "frame");
    ASSERT_TRUE(factory.ready) << "the widget factory did not appear on the accessibility bus";
    const pid_t pid = factory.process.pid();

    const Accessible app = stepstest::applicationOf(pid);
    const Accessible page2 = stepstest::findObject(app, "radio button", "Page 2");
    ASSERT_TRUE(page2);
    ASSERT_FALSE(stepstest::isChecked(page2));

    // The stack shows one page at a time on the accessibility bus too, so the typing is checked before the
    // click that changes the page.
    const auto typing = home.run(appJob("gtk3-widget-factory", home.path() + "/typing.mov",
                                     json::array({{{"action", "type"}, {"role", "TextField"}, {"value", "draft"}},
                                                  {{"action", "press"}, {"key", "cmd+a"}},
                                                  {{"action", "type"}, {"value", "Grüße ✓"}}})));
    ASSERT_EQ(typing.status, 0) << describe(typing);
    // cmd+a selected "draft", so the next text replaced it.
    EXPECT_TRUE(eventuallyHoldsText(pid, "Grüße ✓")) << "texts now: " << json(textsOf(pid)).dump();
    EXPECT_FALSE(holdsText(pid, "draftGrüße ✓"));
    ASSERT_EQ(typing.last()["clicks"].size(), 1u);  // the typing target
    EXPECT_EQ(typing.last()["clicks"][0]["role"], "AXTextField");

    const auto clicking =
        home.run(appJob("gtk3-widget-factory", home.path() + "/clicking.mov",
                     json::array({{{"action", "click"}, {"role", "RadioButton"}, {"label", "page 2"}}})));
    ASSERT_EQ(clicking.status, 0) << describe(clicking);
    EXPECT_TRUE(stepstest::eventually([&] { return stepstest::isChecked(page2); }, true, 5));
    const json result = clicking.last();
    ASSERT_EQ(result["clicks"].size(), 1u);
    EXPECT_EQ(result["clicks"][0]["role"], "AXRadioButton");
    EXPECT_EQ(result["clicks"][0]["label"], "Page 2");
}

// How many mapped X11 windows process `pid` has, as xdotool lists them.
size_t mappedWindowsOf(pid_t pid) {
    const auto found = support::runProgram({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    std::istringstream lines(found.out);
    size_t count = 0;
    for (std::string id; std::getline(lines, id);) count += !id.empty();
    return count;
}

// GTK 3.24 shows the "Menu" toggle button's pop-over as a panel elsewhere in the window, with push buttons and
// check boxes for items whose own action does nothing: a title the pop-over lacks fails, listing the titles
// it has, and Menu > Keyboard Shortcuts is chosen for real: its window opens (X11) and the pop-over closes
// (the accessibility bus).
TEST(StepsOnTheWidgetFactory, AMenuBehindItsMenuToggleChoosesAPopoverItem) {
    PrivateHome home;
    StartedApp factory(home, {"gtk3-widget-factory"}, "frame");
    ASSERT_TRUE(factory.ready) << "the widget factory did not appear on the accessibility bus";
    const pid_t pid = factory.process.pid();
    const Accessible app = stepstest::applicationOf(pid);
    const Accessible toggle = stepstest::findObject(app, "toggle button", "Menu");
    ASSERT_TRUE(toggle);

    const auto missing = home.run(appJob("gtk3-widget-factory", home.path() + "/missing.mov",
                                      json::array({{{"action", "menu"}, {"path", {"Menu", "Darker Theme"}}}})));
    EXPECT_EQ(missing.status, 1) << describe(missing);
    EXPECT_EQ(missing.last()["code"], "not_found");
    EXPECT_EQ(missing.last()["message"].get<std::string>().rfind(
                  "step 1: menu item Darker Theme not found; closest: \"Dark Theme\", ", 0),
              0u)
        << missing.last();
    // The pop-over that step left open is closed as a person would.
    support::runProgram({"xdotool", "key", "Escape"});
    ASSERT_FALSE(stepstest::eventually([&] { return stepstest::isChecked(toggle); }, false, 5));

    // A check item keeps its pop-over open and GTK 3.24 never reports it checked: its effect is read from the
    // movie, whose last frame is dark where its first was light.
    const std::string themed = home.path() + "/themed.mov";
    const auto dark = home.run(appJob("gtk3-widget-factory", themed,
                                      json::array({{{"action", "menu"}, {"path", {"Menu", "Dark Theme"}}}})));
    ASSERT_EQ(dark.status, 0) << describe(dark);
    const auto brightness = [&](std::vector<std::string> seek) {
        std::vector<std::string> command{"ffmpeg", "-v", "error"};
        command.insert(command.end(), seek.begin(), seek.end());
        for (const char* each : {"-i", themed.c_str(), "-frames:v", "1", "-vf", "scale=1:1", "-f", "rawvideo", "-pix_fmt",
                                 "gray", "-"})
            command.push_back(each);
        const std::string pixel = support::runProgram(command).out;
        return pixel.empty() ? -1 : int(static_cast<unsigned char>(pixel[0]));
    };
    const int first = brightness({"-ss", "0"}), last = brightness({"-sseof", "-0.05"});
    EXPECT_GT(first, 128) << "the window was not light before the step";
    EXPECT_LT(last, first / 2) << "the window did not turn dark";
    support::runProgram({"xdotool", "key", "Escape"});
    ASSERT_FALSE(stepstest::eventually([&] { return stepstest::isChecked(toggle); }, false, 5));

    const size_t windowsBefore = mappedWindowsOf(pid);
    const auto chosen = home.run(appJob("gtk3-widget-factory", home.path() + "/chosen.mov",
                                     json::array({{{"action", "menu"}, {"path", {"Menu", "Keyboard Shortcuts"}}}})));
    ASSERT_EQ(chosen.status, 0) << describe(chosen);
    EXPECT_EQ(stepstest::eventually([&] { return mappedWindowsOf(pid); }, windowsBefore + 1, 5), windowsBefore + 1);
    EXPECT_FALSE(stepstest::eventually([&] { return stepstest::isChecked(toggle); }, false, 5));
}

// gedit 44's main menu is the same kind of GTK 3 pop-over, behind a toggle button titled "Menu": a title the
// pop-over lacks fails listing the titles it has, and Menu > New Window opens a second window (X11).
TEST(StepsOnGedit, TheMainMenuBehindItsToggleButtonIsWalkedLikeAMenuBar) {
    PrivateHome home;
    StartedApp gedit(home, {"gedit", "--standalone"}, "frame");
    ASSERT_TRUE(gedit.ready) << "gedit did not appear on the accessibility bus";
    const pid_t pid = gedit.process.pid();

    const auto missing = home.run(
        appJob("gedit", home.path() + "/missing.mov", json::array({{{"action", "menu"}, {"path", {"Menu", "Findx"}}}})));
    EXPECT_EQ(missing.status, 1) << describe(missing);
    EXPECT_EQ(missing.last()["code"], "not_found");
    EXPECT_EQ(missing.last()["message"].get<std::string>().rfind(
                  "step 1: menu item Findx not found; closest: \"Find\u2026\", ", 0),
              0u)
        << missing.last();
    support::runProgram({"xdotool", "key", "Escape"});  // the pop-over that step left open

    const size_t windowsBefore = mappedWindowsOf(pid);
    const auto chosen = home.run(appJob("gedit", home.path() + "/chosen.mov",
                                     json::array({{{"action", "menu"}, {"path", {"Menu", "New Window"}}}})));
    ASSERT_EQ(chosen.status, 0) << describe(chosen);
    EXPECT_EQ(stepstest::eventually([&] { return mappedWindowsOf(pid); }, windowsBefore + 1, 5), windowsBefore + 1);
}

}  // namespace
