#include <gtest/gtest.h>

#include "base/capture_error.h"
#include "fakes/fake_input.h"
#include "fakes/fake_platform.h"
#include "input/input.h"

namespace {

using fakes::PostedEvent;
using Kind = fakes::PostedEvent::Kind;
using Input::Combo;
namespace modifier = platform::modifier;

TEST(ParseCombo, CaseSpacesAndEmptyPiecesDoNotMatter) {
    const Combo cmdS{1, modifier::command};
    EXPECT_EQ(Input::parseCombo("Cmd+S"), cmdS);
    EXPECT_EQ(Input::parseCombo("cmd + s"), cmdS);
    EXPECT_EQ(Input::parseCombo("cmd++s"), cmdS);
    EXPECT_EQ(Input::parseCombo("+cmd+\ts\t+"), cmdS);
    EXPECT_EQ(Input::parseCombo("COMMAND+META+cmd+s"), cmdS);  // a flag added twice changes nothing
    EXPECT_EQ(Input::parseCombo("shift+A"), (Combo{0, modifier::shift}));
}

TEST(ParseCombo, ModifierWordsSetTheirFlags) {
    EXPECT_EQ(Input::parseCombo("ctrl+alt+shift+f1"),
              (Combo{122, modifier::control | modifier::alternate | modifier::shift}));
    EXPECT_EQ(Input::parseCombo("control+option+tab"), (Combo{48, modifier::control | modifier::alternate}));
    EXPECT_EQ(Input::parseCombo("opt+meta+/"), (Combo{44, modifier::alternate | modifier::command}));
    EXPECT_EQ(Input::parseCombo("space"), (Combo{49, 0}));
}

TEST(ParseCombo, LastNonModifierPartDecides) {
    EXPECT_EQ(Input::parseCombo("cmd+a+b"), (Combo{11, modifier::command}));
    EXPECT_EQ(Input::parseCombo("cmd+x+bogus"), std::nullopt);
    EXPECT_EQ(Input::parseCombo("bogus+x"), (Combo{7, 0}));
}

TEST(ParseCombo, RejectsTextNamingNoKey) {
    for (const char* text : {"", "+", "shift", "cmd+shift", "cmd+ ", "f9", "plus", "cmd+s\n", "cmd+\ns"}) {
        EXPECT_EQ(Input::parseCombo(text), std::nullopt) << text;
    }
}

TEST(ParseCombo, KeyTableHasSeventySixLowerCaseNames) {
    const auto& codes = Input::keyCodes();
    EXPECT_EQ(codes.size(), 76u);
    for (const auto& [name, code] : codes) EXPECT_EQ(Input::parseCombo(name), (Combo{code, 0})) << name;
    EXPECT_EQ(codes.at("escape"), 53);
    EXPECT_EQ(codes.at("esc"), 53);
    EXPECT_EQ(codes.at("delete"), 51);
    EXPECT_EQ(codes.at("backspace"), 51);
    EXPECT_EQ(codes.at("forwarddelete"), 117);
    EXPECT_EQ(codes.at("f8"), 100);
    EXPECT_EQ(codes.at("`"), 50);
    EXPECT_EQ(codes.at("\\"), 42);
}

class InputEvents : public ::testing::Test {
protected:
    InputEvents() { platform::services().input = &sink; }

    double since(double seconds) const { return seconds - start; }

    fakes::FakePlatform fake;
    fakes::FakeInput sink{&fake.clock};
    const double start = fake.clock.host;
};

TEST_F(InputEvents, PressHoldsThenReleasesWithExactFlags) {
    Input::press("tab", 42);
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].kind, Kind::keyDown);
    EXPECT_EQ(sink.events[1].kind, Kind::keyUp);
    for (const auto& event : sink.events) {
        EXPECT_EQ(event.keyCode, 48);
        EXPECT_EQ(event.flags, 0u);
        EXPECT_EQ(event.pid, 42);
    }
    EXPECT_NEAR(since(sink.events[1].atSeconds), 0.012, 1e-9);
    EXPECT_EQ(fake.clock.sleeps, (std::vector<double>{0.012, 0.012}));

    sink.events.clear();
    Input::press("cmd+shift+s", 7);
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].flags, modifier::command | modifier::shift);
    EXPECT_EQ(sink.events[1].flags, modifier::command | modifier::shift);
}

TEST_F(InputEvents, PressOfAnUnknownKeyPostsNothing) {
    for (const std::string text : {"f9", "Cmd+Bogus ", ""}) {
        try {
            Input::press(text, 42);
            ADD_FAILURE() << "no error for " << text;
        } catch (const CaptureError& error) {
            EXPECT_EQ(error.description(), "unknown key " + text);
            EXPECT_EQ(error.code(), "bad_request");
        }
    }
    EXPECT_TRUE(sink.events.empty());
    EXPECT_TRUE(fake.clock.sleeps.empty());
}

TEST_F(InputEvents, TypingPausesAfterEachCharacterAndPressesEnterForLineFeed) {
    Input::type("ab\nc", 9);
    ASSERT_EQ(sink.events.size(), 5u);
    EXPECT_EQ(sink.events[0].character, "a");
    EXPECT_EQ(sink.events[1].character, "b");
    EXPECT_EQ(sink.events[2].kind, Kind::keyDown);
    EXPECT_EQ(sink.events[2].keyCode, 36);
    EXPECT_EQ(sink.events[2].flags, 0u);
    EXPECT_EQ(sink.events[3].kind, Kind::keyUp);
    EXPECT_EQ(sink.events[4].character, "c");
    const std::vector<double> expectedTimes{0, 0.035, 0.070, 0.082, 0.094};
    for (size_t i = 0; i < expectedTimes.size(); ++i) {
        EXPECT_NEAR(since(sink.events[i].atSeconds), expectedTimes[i], 1e-9) << i;
        EXPECT_EQ(sink.events[i].pid, 9);
    }
    EXPECT_EQ(fake.clock.sleeps, (std::vector<double>{0.035, 0.035, 0.012, 0.012, 0.035}));
}

TEST_F(InputEvents, TypingSendsWholeClustersAndCarriageReturnsAsCharacters) {
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    Input::type("e\u0301" + family + "\r\n\r", 1, 1000);
    ASSERT_EQ(sink.events.size(), 4u);
    EXPECT_EQ(sink.events[0].character, "e\u0301");
    EXPECT_EQ(sink.events[1].character, family);
    EXPECT_EQ(sink.events[2].character, "\r\n");
    EXPECT_EQ(sink.events[3].character, "\r");
    for (const auto& event : sink.events) EXPECT_EQ(event.kind, Kind::character);
    EXPECT_EQ(fake.clock.sleeps, std::vector<double>(4, 0.001));

    sink.events.clear();
    Input::type("", 1);
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(InputEvents, ClickSettlesHoldsAndLeavesTheLastPauseToTheCaller) {
    Input::click({120.5, 80});
    ASSERT_EQ(sink.events.size(), 3u);
    EXPECT_EQ(sink.events[0].kind, Kind::mouseMoved);
    EXPECT_EQ(sink.events[1].kind, Kind::leftDown);
    EXPECT_EQ(sink.events[2].kind, Kind::leftUp);
    for (const auto& event : sink.events) {
        EXPECT_EQ(event.point.x, 120.5);
        EXPECT_EQ(event.point.y, 80);
    }
    EXPECT_NEAR(since(sink.events[1].atSeconds), 0.030, 1e-9);
    EXPECT_NEAR(since(sink.events[2].atSeconds), 0.070, 1e-9);
    EXPECT_EQ(fake.clock.sleeps, (std::vector<double>{0.030, 0.040}));
}

TEST_F(InputEvents, ScrollPostsEightTruncatedEighths) {
    Input::scroll({10, 20}, 7, -300);
    ASSERT_EQ(sink.events.size(), 9u);
    EXPECT_EQ(sink.events[0].kind, Kind::mouseMoved);
    for (size_t i = 1; i < sink.events.size(); ++i) {
        EXPECT_EQ(sink.events[i].kind, Kind::scroll);
        EXPECT_EQ(sink.events[i].dyPixels, -37);
        EXPECT_EQ(sink.events[i].dxPixels, 0);
        EXPECT_NEAR(since(sink.events[i].atSeconds), 0.020 + 0.016 * double(i - 1), 1e-9);
    }
    std::vector<double> expectedSleeps{0.020};
    expectedSleeps.resize(9, 0.016);
    EXPECT_EQ(fake.clock.sleeps, expectedSleeps);

    sink.events.clear();
    Input::scroll({0, 0}, -15, 5);
    ASSERT_EQ(sink.events.size(), 9u);
    EXPECT_EQ(sink.events[8].dxPixels, -1);
    EXPECT_EQ(sink.events[8].dyPixels, 0);
}

}  // namespace
