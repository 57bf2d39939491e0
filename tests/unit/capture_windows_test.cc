// Choosing the window to record, and the windows command's listing, over a fake desktop.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/capture_error.h"
#include "tools/windows_command.h"
#include "capture/window_pickers.h"
#include "fakes/fake_capture.h"
#include "fakes/fake_platform.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

platform::ShareableWindow window(uint64_t id, int32_t pid, platform::Rect frame, int layer = 0) {
    platform::ShareableWindow result;
    result.windowID = id;
    result.owningApplication = platform::RunningApplication{pid, "org.example.Editor", "Editor"};
    result.windowLayer = layer;
    result.frame = frame;
    result.title = "window " + std::to_string(id);
    return result;
}

class Windows : public testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeCapturePlatform desktop;

    void list(std::vector<platform::ShareableWindow> windows) { desktop.capture.content.windows = std::move(windows); }

    std::string errorOf(const std::function<void()>& body, std::string* code = nullptr) {
        try {
            body();
        } catch (const CaptureError& error) {
            if (code) *code = error.code();
            return error.description();
        }
        return "(no error)";
    }
};

TEST_F(Windows, WithoutAFrameTheLargestOrdinaryWindowOfTheProcessWinsAndTheFirstWinsATie) {
    list({window(1, 7, {0, 0, 2000, 2000}, /*layer=*/3), window(2, 8, {0, 0, 1900, 1900}),
          window(3, 7, {0, 0, 800, 600}),
          window(4, 7, {0, 0, 1200, 900}), window(5, 7, {50, 50, 900, 1200})});
    EXPECT_EQ(capture::scWindow(7, std::nullopt).windowID, 4u);
    EXPECT_EQ(capture::regionWindow(7, std::nullopt).windowID, 4u);
    EXPECT_EQ(desktop.capture.contentRequests, 2) << "one look at the desktop per call";
}

TEST_F(Windows, WithAFrameTheClosestWinsHoweverFarAndTheFirstWinsATie) {
    list({window(1, 7, {0, 0, 800, 600}), window(2, 7, {100, 0, 800, 600}), window(3, 7, {0, 100, 800, 600})});
    EXPECT_EQ(capture::scWindow(7, jobs::Rect{95, 0, 800, 600}).windowID, 2u);
    EXPECT_EQ(capture::scWindow(7, jobs::Rect{50, 50, 800, 600}).windowID, 1u);  // all three are 100 away
    EXPECT_EQ(capture::scWindow(7, jobs::Rect{-9000, -9000, 1, 1}).windowID, 1u);
}

TEST_F(Windows, WindowsWithoutAnOwnerOrOnAnotherLayerAreNeverChosen) {
    auto orphan = window(1, 7, {0, 0, 800, 600});
    orphan.owningApplication.reset();
    list({orphan, window(2, 7, {0, 0, 800, 24}, /*layer=*/25)});
    std::string code;
    EXPECT_EQ(errorOf([] { capture::scWindow(7, std::nullopt); }, &code), "the app has no on-screen window");
    EXPECT_EQ(code, "external");
}

TEST_F(Windows, ARegionNeedsAWindowLargerThanSixtyFourPointsEachWay) {
    list({window(1, 7, {0, 0, 64, 400}), window(2, 7, {0, 0, 400, 64})});
    std::string code;
    EXPECT_EQ(errorOf([] { capture::regionWindow(7, std::nullopt); }, &code),
              "no on-screen window of process 7 to record");
    EXPECT_EQ(code, "not_found");
    EXPECT_EQ(capture::scWindow(7, std::nullopt).windowID, 1u);

    list({window(1, 7, {0, 0, 64, 400}), window(2, 7, {0, 0, 64.5, 64.5})});
    EXPECT_EQ(capture::regionWindow(7, jobs::Rect{0, 0, 64, 400}).windowID, 2u);
}

TEST_F(Windows, APlatformErrorReachesThePickersCallerUnchanged) {
    desktop.capture.contentError = "X11: cannot open display :99";
    try {
        capture::scWindow(7, std::nullopt);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "X11: cannot open display :99");
    }
}

nlohmann::json listed(const std::optional<std::string>& app) {
    CaptureStdout();
    tools::listWindows(app);
    return nlohmann::json::parse(GetCapturedStdout());
}

TEST_F(Windows, TheListingHoldsOrdinaryOwnedWindowsInOrderFilteredByIdentityOrNameExactly) {
    auto untitled = window(1, 7, {10, 20, 300, 200.5});
    untitled.title.reset();
    auto other = window(2, 8, {0, 0, 50, 50});
    other.owningApplication = platform::RunningApplication{8, "org.example.Viewer", "Viewer"};
    auto orphan = window(3, 9, {0, 0, 50, 50});
    orphan.owningApplication.reset();
    list({untitled, window(4, 7, {0, 0, 800, 24}, /*layer=*/25), orphan, other});

    const auto all = listed(std::nullopt);
    EXPECT_EQ(all["type"], "result");
    ASSERT_EQ(all["windows"].size(), 2u);
    EXPECT_EQ(all["windows"][0],
              nlohmann::json({{"title", ""}, {"app", "Editor"}, {"bundleId", "org.example.Editor"}, {"pid", 7},
                              {"frame", {{"x", 10}, {"y", 20}, {"width", 300}, {"height", 200.5}}}}));
    EXPECT_EQ(all["windows"][1]["pid"], 8);

    EXPECT_EQ(listed("org.example.Viewer")["windows"].size(), 1u);
    EXPECT_EQ(listed("Viewer")["windows"], listed("org.example.Viewer")["windows"]);
    EXPECT_EQ(listed("viewer")["windows"], nlohmann::json::array());
}

TEST_F(Windows, AnEmptyDesktopListsNoWindowsWithoutAnError) {
    EXPECT_EQ(listed(std::nullopt), nlohmann::json({{"type", "result"}, {"windows", nlohmann::json::array()}}));
}

using WindowsDeathTest = Windows;

TEST_F(WindowsDeathTest, ADesktopThatCannotBeAskedEndsTheListingWithAnExternalError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    desktop.capture.contentError = "X11: cannot open display :99";
    EXPECT_EXIT(tools::listWindows(std::nullopt), testing::ExitedWithCode(1), "");
}

}  // namespace
