// The click log's time base, fractions and rounding.

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "run/click_log.h"

namespace {

class ClickLogTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    std::optional<double> firstFrame;
    run::ClickLog log{{100, 200, 400, 300}, [this] { return firstFrame; }};
};

TEST_F(ClickLogTest, FractionsAreMeasuredFromTheTopLeftAndNotFiltered) {
    log.log(100, 200, std::nullopt, std::nullopt);
    log.log(300, 350, std::nullopt, std::nullopt);
    log.log(90, 500, std::nullopt, std::nullopt);
    const auto& clicks = log.clicks();
    ASSERT_EQ(clicks.size(), 3u);
    EXPECT_EQ(clicks[0]["x"], 0.0);
    EXPECT_EQ(clicks[0]["y"], 0.0);
    EXPECT_EQ(clicks[1]["x"], 0.5);
    EXPECT_EQ(clicks[1]["y"], 0.5);
    EXPECT_DOUBLE_EQ(clicks[2]["x"].get<double>(), -0.025);
    EXPECT_DOUBLE_EQ(clicks[2]["y"].get<double>(), 1.0);
}

TEST_F(ClickLogTest, TimesCountFromTheFirstFrameRoundedToTheMillisecond) {
    log.log(0, 0, std::nullopt, std::nullopt);  // before the first frame
    firstFrame = platform.clock.host - 1.23456;
    log.log(0, 0, std::nullopt, std::nullopt);
    firstFrame = platform.clock.host - 0.0004;
    log.log(0, 0, std::nullopt, std::nullopt);
    firstFrame = platform.clock.host - 0.0025;
    log.log(0, 0, std::nullopt, std::nullopt);
    firstFrame = platform.clock.host + 2;  // a frame time after now
    log.log(0, 0, std::nullopt, std::nullopt);
    const auto& clicks = log.clicks();
    EXPECT_EQ(clicks[0]["t"], 0.0);
    EXPECT_DOUBLE_EQ(clicks[1]["t"].get<double>(), 1.235);
    EXPECT_EQ(clicks[2]["t"], 0.0);
    EXPECT_DOUBLE_EQ(clicks[3]["t"].get<double>(), 0.003);
    EXPECT_EQ(clicks[4]["t"], 0.0);
    EXPECT_EQ(log.now(), 0.0);
}

TEST_F(ClickLogTest, RoleAndLabelAppearOnlyWhenKnown) {
    log.log(150, 250, "AXButton", "Save");
    log.log(150, 250, std::nullopt, "Open");
    log.log(150, 250, std::nullopt, std::nullopt);
    log.logStep("AXButton", "Save");
    log.logStep(std::nullopt, std::nullopt);
    const auto& clicks = log.clicks();
    EXPECT_EQ(clicks[0]["role"], "AXButton");
    EXPECT_EQ(clicks[0]["label"], "Save");
    EXPECT_FALSE(clicks[1].contains("role"));
    EXPECT_EQ(clicks[1]["label"], "Open");
    EXPECT_EQ(clicks[2].size(), 3u);
    EXPECT_EQ(log.steps()[0], (Out::Message{{"action", "click"}, {"role", "AXButton"}, {"label", "Save"}}));
    EXPECT_EQ(log.steps()[1], (Out::Message{{"action", "click"}}));
}

TEST_F(ClickLogTest, ContainmentIncludesTheTopLeftEdgesOnly) {
    EXPECT_TRUE(log.contains(100, 200));
    EXPECT_TRUE(log.contains(499.5, 499.5));
    EXPECT_FALSE(log.contains(500, 300));
    EXPECT_FALSE(log.contains(300, 500));
    EXPECT_FALSE(log.contains(99.9, 300));
}

}  // namespace
