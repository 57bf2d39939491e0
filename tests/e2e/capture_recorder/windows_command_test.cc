// The `windows` command run as the host runs it, against real windows in the virtual desktop.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/tool_process.h"
#include "test_window_process.h"
#include "window_decorations.h"

namespace {

using capture_test::TestWindowProcess;

class WindowsCommand : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(std::filesystem::path(data_.path()) / "applications");
        std::ofstream(std::filesystem::path(data_.path()) / "applications" / "org.quorrel.Listed.desktop")
            << "[Desktop Entry]\nType=Application\nName=Listed Probe\nExec=/nonexistent/listed\n"
               "StartupWMClass=qc-listed\n";
        // The tool and the windows see the same desktop entries; no system entry interferes.
        options_.set = {{"XDG_DATA_HOME", data_.path()}, {"XDG_DATA_DIRS", data_.path() + "/none"}};
    }

    // The "windows" entries of the tool's result for `args`, after checking that it succeeded.
    nlohmann::json listed(std::vector<std::string> args) {
        args.insert(args.begin(), "windows");
        const auto run = support::runTool(args, options_);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        const auto result = run.last();
        EXPECT_EQ(result["type"], "result");
        return result["windows"];
    }

    static std::vector<nlohmann::json> withPid(const nlohmann::json& windows, int pid) {
        std::vector<nlohmann::json> found;
        for (const auto& entry : windows) {
            if (entry["pid"] == pid) found.push_back(entry);
        }
        return found;
    }

    support::TempDir data_;
    support::ToolOptions options_;
};

TEST_F(WindowsCommand, ListsEachApplicationWindowWithTitleIdentityPidAndFrame) {
    TestWindowProcess window({"--title", "Listed \xc3\xa9 window", "--class", "qc-listed", "--size", "320x200"});
    TestWindowProcess dock({"--title", "A dock", "--class", "qc-listed", "--type", "dock", "--size", "300x40"});
    window.settle();
    const auto entries = withPid(listed({}), window.pid());
    ASSERT_EQ(entries.size(), 1u);
    // The frame is the window as the user sees it: the 320 × 200 client with the window manager's decorations.
    const capture_test::Decorations frame = capture_test::decorationsOf(window.window);
    EXPECT_GT(frame.top, 0) << "openbox draws a title bar";
    EXPECT_EQ(entries[0], nlohmann::json({{"title", "Listed \xc3\xa9 window"},
                                          {"app", "Listed Probe"},
                                          {"bundleId", "org.quorrel.Listed"},
                                          {"pid", window.pid()},
                                          {"frame",
                                           {{"x", frame.clientX - frame.left},
                                            {"y", frame.clientY - frame.top},
                                            {"width", 320 + frame.left + frame.right},
                                            {"height", 200 + frame.top + frame.bottom}}}}));
    EXPECT_TRUE(withPid(listed({}), dock.pid()).empty()) << "a dock is not an application window";
}

TEST_F(WindowsCommand, TheAppFilterMatchesTheIdentityOrTheNameExactly) {
    TestWindowProcess window({"--title", "Filtered", "--class", "qc-listed"});
    TestWindowProcess other({"--title", "Other", "--class", "qc-other"});
    window.settle();
    other.settle();

    const auto byIdentity = listed({"--app", "org.quorrel.Listed"});
    ASSERT_EQ(byIdentity.size(), 1u);
    EXPECT_EQ(byIdentity[0]["pid"], window.pid());
    EXPECT_EQ(listed({"--app", "Listed Probe"}), byIdentity);
    EXPECT_EQ(listed({"--app", "listed probe"}), nlohmann::json::array());
    EXPECT_EQ(listed({"--app", "org.quorrel"}), nlohmann::json::array());

    const auto all = listed({"--app"});  // "--app" as the last word: no filter
    EXPECT_EQ(withPid(all, window.pid()).size(), 1u);
    EXPECT_EQ(withPid(all, other.pid()).size(), 1u);
}

}  // namespace
