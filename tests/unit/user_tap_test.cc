// The user-action tap: what a user's left press inside and outside the recorded area logs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "fakes/fake_accessibility.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_user_events.h"
#include "run/user_tap.h"

namespace {

using fakes::El;

class UserTapTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility accessibility;
    fakes::FakeAccessibility::Installed installedAX{accessibility};
    fakes::FakeUserEvents events;
    std::optional<double> firstFrame = 1000.0;
    run::ClickLog log{{100, 100, 400, 300}, [this] { return firstFrame; }};

    void SetUp() override {
        platform::services().userEvents = &events;
        accessibility.addApplication(
            7, El("AXApplication").kids({El("AXWindow").id("window").title("Doc").frame(100, 100, 400, 300).kids({
                   El("AXButton").id("save").title("Save").frame(120, 120, 80, 30).actions({"AXPress"}),
               })}));
    }
    void TearDown() override { platform::services().userEvents = nullptr; }
};

TEST_F(UserTapTest, APressOnAButtonLogsAClickAndAStepNamingIt) {
    auto tap = run::startUserTap(log);
    ASSERT_TRUE(tap);
    platform.clock.advance(1.5);
    EXPECT_TRUE(events.pressLeft(140, 130));
    ASSERT_EQ(log.clicks().size(), 1u);
    EXPECT_EQ(log.clicks()[0]["role"], "AXButton");
    EXPECT_EQ(log.clicks()[0]["label"], "Save");
    EXPECT_DOUBLE_EQ(log.clicks()[0]["t"].get<double>(), platform.clock.host - 1000.0);
    EXPECT_DOUBLE_EQ(log.clicks()[0]["x"].get<double>(), 0.1);
    EXPECT_EQ(log.steps()[0], (Out::Message{{"action", "click"}, {"role", "AXButton"}, {"label", "Save"}}));

    // A press the desktop dates and hands over late (over a bus, on a busy machine) is at its own moment.
    platform.clock.advance(0.75);
    EXPECT_TRUE(events.pressLeft(140, 130, 1002.0));
    ASSERT_EQ(log.clicks().size(), 2u);
    EXPECT_DOUBLE_EQ(log.clicks()[1]["t"].get<double>(), 2.0);
}

TEST_F(UserTapTest, APressWhereThePointerRestedIsLoggedWithWhatWasThereBeforeThePressChangedIt) {
    accessibility.addChild("window", El("AXMenu").id("menu").frame(300, 150, 150, 100).kids({
        El("AXMenuItem").id("zoom").title("Zoom Out").frame(300, 200, 150, 25).actions({"AXPress"}),
    }));
    auto tap = run::startUserTap(log);
    ASSERT_TRUE(events.restAt(320, 210));  // the pointer rests on the open menu's item
    // The quick click: by the time the press is handled, its release has chosen the item and the menu is gone.
    accessibility.setHidden("menu", true);
    events.pressLeft(320, 210);
    ASSERT_EQ(log.clicks().size(), 1u);
    EXPECT_EQ(log.clicks()[0]["role"], "AXMenuItem");
    EXPECT_EQ(log.clicks()[0]["label"], "Zoom Out");
    EXPECT_EQ(log.steps()[0], (Out::Message{{"action", "click"}, {"role", "AXMenuItem"}, {"label", "Zoom Out"}}));

    // A press somewhere else than the resting point is read when it is handled.
    events.pressLeft(140, 130);
    EXPECT_EQ(log.clicks()[1]["label"], "Save");
    // Resting again reads again: what is there now, not what was there the first time.
    events.restAt(320, 210);
    events.pressLeft(320, 210);
    EXPECT_EQ(log.clicks()[2]["role"], "AXWindow");
    // Resting outside the area reads nothing, and forgets what was seen.
    accessibility.clearCalls();
    events.restAt(50, 50);
    EXPECT_TRUE(accessibility.calls.empty());
    accessibility.setHidden("menu", false);
    events.pressLeft(320, 210);
    EXPECT_EQ(log.clicks()[3]["label"], "Zoom Out");
}

TEST_F(UserTapTest, PressesOutsideTheAreaAreIgnoredAndMissesAreStillLogged) {
    auto tap = run::startUserTap(log);
    events.pressLeft(50, 50);
    events.pressLeft(500, 200);  // the right edge is outside
    EXPECT_TRUE(log.clicks().empty());
    EXPECT_TRUE(log.steps().empty());

    accessibility.setHitTestFails(true);
    events.pressLeft(300, 300);
    ASSERT_EQ(log.clicks().size(), 1u);
    EXPECT_EQ(log.clicks()[0].size(), 3u);  // t, x and y only
    EXPECT_EQ(log.steps()[0], (Out::Message{{"action", "click"}}));
}

TEST_F(UserTapTest, ADisabledTapLogsNothingMore) {
    auto tap = run::startUserTap(log);
    tap->disable();
    EXPECT_FALSE(events.pressLeft(140, 130));
    EXPECT_TRUE(log.clicks().empty());
}

TEST_F(UserTapTest, ATapThatCannotBeMadeSaysSoOnStandardError) {
    events.available = false;
    // Capture standard error around the call.
    fflush(stderr);
    char path[] = "/tmp/qc-tap-stderr-XXXXXX";
    const int fd = mkstemp(path);
    const int saved = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    auto tap = run::startUserTap(log);
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    lseek(fd, 0, SEEK_SET);
    char buffer[256] = {};
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    unlink(path);
    EXPECT_FALSE(tap);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0),
              "could not create the event tap (Accessibility permission?)\n");
}

}  // namespace
