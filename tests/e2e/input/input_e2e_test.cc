// Synthesised keyboard and pointer events arriving in a real GTK application on a virtual desktop.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include <unistd.h>

#include "input/input.h"
#include "platform/input_events.h"
#include "platform/services.h"
#include "support/fixture_process.h"
#include "support/tool_process.h"
#include "x11_state.h"

namespace {

using nlohmann::json;

const std::string kText = "h\u00e9llo w\u00f6rld \u2713 \u65e5\u672c";  // "héllo wörld ✓ 日本"

class InputOnDesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform::installSystemServices(); }

    void SetUp() override {
        fixture = std::make_unique<support::FixtureProcess>();
        ASSERT_TRUE(fixture->ready()) << fixture->transcript();
        pid = fixture->pid();
        geometry = fixture->geometry();
    }

    platform::Point centreOf(const std::string& widget) const {
        const json& box = geometry.at(widget);
        return {box["x"].get<double>() + box["width"].get<double>() / 2,
                box["y"].get<double>() + box["height"].get<double>() / 2};
    }

    // Clicks into a text widget and waits until it has the keyboard focus.
    void focus(const std::string& widget) {
        Input::click(centreOf(widget));
        const auto focused = fixture->waitFor([&](const json& line) {
            return line.value("event", "") == "focus" && line.value("widget", "") == widget;
        });
        ASSERT_TRUE(focused) << fixture->transcript();
    }

    // Waits for the text widget to report exactly `text`, and to report no further change after it.
    void expectText(const std::string& widget, const std::string& text) {
        const auto isTextOf = [&](const json& line) {
            return line.value("event", "") == "text" && line.value("widget", "") == widget;
        };
        const auto line = fixture->waitFor(
            [&](const json& candidate) { return isTextOf(candidate) && candidate.value("text", "") == text; });
        EXPECT_TRUE(line) << "expected " << widget << " to hold \"" << text << "\"\n" << fixture->transcript();
        EXPECT_FALSE(fixture->waitFor(isTextOf, 0.3)) << "more text after \"" << text << "\"\n"
                                                      << fixture->transcript();
    }

    std::unique_ptr<support::FixtureProcess> fixture;
    int32_t pid = 0;
    json geometry;
};

TEST_F(InputOnDesktop, CommandAndControlSArriveAsTheSaveShortcut) {
    for (const char* combo : {"cmd+s", "ctrl+s", "Control + S"}) {
        Input::press(combo, pid);
        const auto shortcut = fixture->waitFor([](const json& line) {
            return line.value("event", "") == "shortcut" && line.value("name", "") == "save";
        });
        EXPECT_TRUE(shortcut) << combo << "\n" << fixture->transcript();
    }
}

TEST_F(InputOnDesktop, TypedTextArrivesExactly) {
    focus("name-field");
    Input::type(kText, pid);
    expectText("name-field", kText);
    Input::type("\n", pid);
    const auto activated = fixture->waitFor([](const json& line) {
        return line.value("event", "") == "activate" && line.value("widget", "") == "name-field";
    });
    EXPECT_TRUE(activated) << fixture->transcript();

    // In a multi-line field a line feed starts a new line; characters made of several code points (a
    // decomposed accent, an emoji with a skin tone) arrive whole.
    focus("notes");
    const std::string notes = kText + "\nmore: e\u0301 \U0001F44D\U0001F3FD {[|]} ~`!@#$%^&*()_+";
    Input::type(notes, pid);
    expectText("notes", notes);
}

TEST_F(InputOnDesktop, KeyEventsReachTheTargetWhenAnotherApplicationHasTheFocus) {
    focus("name-field");
    // A second application comes up and takes the focus (a key pressed for it moves the focus there).
    support::FixtureProcess other({"--title", "Other Fixture"});
    ASSERT_TRUE(other.ready()) << other.transcript();
    Input::press("tab", other.pid());
    ASSERT_TRUE(other.waitForEvent("focus")) << other.transcript();
    Input::type("to the first", pid);
    expectText("name-field", "to the first");
    Input::press("cmd+s", pid);
    EXPECT_TRUE(fixture->waitForEvent("shortcut")) << fixture->transcript();
    EXPECT_FALSE(other.waitFor(
        [](const json& line) {
            const std::string event = line.value("event", "");
            return event == "text" || event == "shortcut";
        },
        0.5))
        << other.transcript();
}

TEST_F(InputOnDesktop, KeyEventsFindTheTargetsWindowWithoutItsProcessProperty) {
    focus("name-field");
    ASSERT_GT(e2e::removeWindowPids(pid), 0);
    Input::type("found", pid);
    expectText("name-field", "found");
}

TEST_F(InputOnDesktop, KeyEventsForAProcessWithoutAWindowGoNowhere) {
    focus("name-field");
    Input::type("lost", getpid());
    Input::press("cmd+s", getpid());
    Input::type("kept", pid);
    expectText("name-field", "kept");
    EXPECT_FALSE(fixture->waitForEvent("shortcut", 0.5)) << fixture->transcript();
}

TEST_F(InputOnDesktop, ClickAtAButtonsCentrePressesIt) {
    for (const char* button : {"Save", "Open"}) {
        Input::click(centreOf(button));
        const auto clicked = fixture->waitFor([&](const json& line) {
            return line.value("event", "") == "clicked" && line.value("widget", "") == button;
        });
        EXPECT_TRUE(clicked) << button << "\n" << fixture->transcript();
    }
}

TEST_F(InputOnDesktop, NegativeVerticalAmountScrollsDownAndPositiveBackUp) {
    const auto isVerticalScroll = [](const json& line) {
        return line.value("event", "") == "scroll" && line.value("axis", "") == "vertical";
    };
    // The list may glide to its new place in several steps; the last value reported is where it stopped.
    const auto settledValue = [&](double value) {
        while (const auto line = fixture->waitFor(isVerticalScroll, 1)) value = (*line)["value"].get<double>();
        return value;
    };

    // Eight events of 5 pixels each are less than a notch apiece; together they make one.
    Input::scroll(centreOf("rows"), 0, -40);
    const auto nudged = fixture->waitFor(isVerticalScroll);
    ASSERT_TRUE(nudged) << fixture->transcript();
    EXPECT_GT((*nudged)["value"].get<double>(), 0);
    settledValue(0);

    Input::scroll(centreOf("rows"), 0, -300);
    const auto down = fixture->waitFor(isVerticalScroll);
    ASSERT_TRUE(down) << fixture->transcript();
    EXPECT_GT((*down)["value"].get<double>(), 0);
    const double scrolledDown = settledValue((*down)["value"].get<double>());

    Input::scroll(centreOf("rows"), 0, 300);
    const auto up = fixture->waitFor(isVerticalScroll);
    ASSERT_TRUE(up) << fixture->transcript();
    EXPECT_LT((*up)["value"].get<double>(), scrolledDown) << fixture->transcript();
}

TEST_F(InputOnDesktop, CapsLockDoesNotChangeTypedLetters) {
    focus("name-field");
    ASSERT_TRUE(e2e::setCapsLock(true));
    Input::type("aB1!\u00e9\u00c9", pid);
    e2e::setCapsLock(false);
    expectText("name-field", "aB1!\u00e9\u00c9");
}

TEST_F(InputOnDesktop, KeysLentToMissingCharactersGetTheirMappingBack) {
    const auto keymap = [] { return support::runProgram({"xmodmap", "-pke"}).out; };
    // A lent key is given back once it has been idle for a while, at the next event posted.
    const auto afterIdle = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        platform::services().input->postMouseMoved(centreOf("Save"));
        return keymap();
    };
    const std::string before = afterIdle();
    ASSERT_FALSE(before.empty());
    focus("name-field");
    Input::type("\u2713\u65e5", pid);
    expectText("name-field", "\u2713\u65e5");
    EXPECT_EQ(afterIdle(), before);
}

class InputOnGermanLayout : public InputOnDesktop {
protected:
    void SetUp() override {
        const auto layout = support::runProgram({"setxkbmap", "de"});
        ASSERT_EQ(layout.status, 0) << layout.err;
        InputOnDesktop::SetUp();
    }
    void TearDown() override { support::runProgram({"setxkbmap", "us"}); }
};

TEST_F(InputOnGermanLayout, TypedTextAndShortcutsStillArriveExactly) {
    focus("name-field");
    // Y and Z swap places, @ and { need AltGr, / and = need Shift, and ✓ is on no key at all.
    const std::string text = kText + " zyZY @{/=} \u00e4\u00df\u20ac";
    Input::type(text, pid);
    expectText("name-field", text);
    Input::press("cmd+s", pid);
    const auto shortcut = fixture->waitFor([](const json& line) { return line.value("event", "") == "shortcut"; });
    EXPECT_TRUE(shortcut) << fixture->transcript();
}

TEST_F(InputOnDesktop, ANewLayoutWhileKeysAreLentChangesNothingTyped) {
    focus("name-field");
    Input::type("\u2713", pid);
    expectText("name-field", "\u2713");
    // Loading a layout replaces the whole mapping, lent keys included.
    ASSERT_EQ(support::runProgram({"setxkbmap", "de"}).status, 0);
    Input::type("\u2713z", pid);
    expectText("name-field", "\u2713\u2713z");
    support::runProgram({"setxkbmap", "us"});
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
