// Finding the window a run records: through the interface, or by process for programs without one.

#include "target/target_window.h"

#include <gtest/gtest.h>

#include "fakes/fake_accessibility.h"
#include "fakes/fake_capture.h"
#include "fakes/fake_platform.h"

namespace {

using fakes::El;

platform::ShareableWindow window(uint64_t id, int32_t pid, std::string title, double width = 300) {
    platform::ShareableWindow result;
    result.windowID = id;
    result.owningApplication = platform::RunningApplication{pid, "", "xmessage"};
    result.frame = {10, 20, width, 200};
    result.title = std::move(title);
    return result;
}

// Each look at the capturable windows goes through the bridge, whose main-loop slices advance the fake clock
// for as long as the worker thread really takes; on a busy machine that adds some fake time per look, so
// the upper bounds leave a margin.
class TargetWindow : public testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeCapturePlatform desktop;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installed{ax};

    double elapsedSince(double start) { return platform.clock.hostSeconds() - start; }
};

TEST_F(TargetWindow, AProgramWithoutAnInterfaceIsFoundByProcessAfterTheGrace) {
    desktop.capture.content.windows = {window(1, 8, "Other"), window(2, 7, "Small", 100), window(3, 7, "Main")};
    const double start = platform.clock.hostSeconds();
    const target::TargetWindow found = target::findTargetWindow(7, std::nullopt, start + 15);
    ASSERT_TRUE(found.found());
    EXPECT_FALSE(found.application);
    EXPECT_FALSE(found.window);
    EXPECT_EQ(found.byProcess->windowID, 3u);  // the largest
    EXPECT_GE(elapsedSince(start), target::kAccessibilityGraceSeconds);
    EXPECT_LE(elapsedSince(start), target::kAccessibilityGraceSeconds + 1.5);

    // With a title, only a window whose title contains it, ignoring case.
    EXPECT_EQ(target::findTargetWindow(7, "SMA", platform.clock.hostSeconds() + 15).byProcess->windowID, 2u);
}

TEST_F(TargetWindow, NothingShownEndsAtTheDeadlineWithoutAWindow) {
    desktop.capture.content.windows = {window(3, 7, "Main")};
    const double start = platform.clock.hostSeconds();
    EXPECT_FALSE(target::findTargetWindow(7, "no such title", start + 15).found());
    EXPECT_GE(elapsedSince(start), 15);
    EXPECT_LE(elapsedSince(start), 16.5);
    // A window seen just before the deadline is taken at the deadline rather than lost.
    const double later = platform.clock.hostSeconds();
    EXPECT_TRUE(target::findTargetWindow(7, std::nullopt, later + 1).byProcess);
    EXPECT_LT(elapsedSince(later), target::kAccessibilityGraceSeconds);  // not held for the whole grace
}

TEST_F(TargetWindow, AnApplicationWithAnInterfaceIsFoundThroughItAtOnce) {
    desktop.capture.content.windows = {window(3, 7, "Main")};
    ax.addApplication(7, El("AXApplication").id("app").kids({El("AXWindow").id("main").title("Main")}));
    const double start = platform.clock.hostSeconds();
    const target::TargetWindow found = target::findTargetWindow(7, std::nullopt, start + 15);
    ASSERT_TRUE(found.window);
    EXPECT_EQ(ax.nameOf(*found.window), "main");
    EXPECT_FALSE(found.byProcess);
    EXPECT_LT(elapsedSince(start), 0.01);
}

}  // namespace
