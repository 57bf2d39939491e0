// Permissions inside a virtual desktop (these tests run under scripts/desktop-session).

#include <gtest/gtest.h>

#include "support/tool_process.h"

namespace {

using support::runProgram;
using support::runTool;

void setDesktopAccessibility(bool enabled) {
    const auto run = runProgram({"dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                 "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                                 std::string("variant:boolean:") + (enabled ? "true" : "false")});
    ASSERT_EQ(run.status, 0) << run.err;
}

TEST(DesktopPermissions, BothAreHeldInsideTheVirtualDesktop) {
    setDesktopAccessibility(true);
    const auto run = runTool({"permissions"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.last()["screenRecording"], true);
    EXPECT_EQ(run.last()["accessibility"], true);
}

TEST(DesktopPermissions, RequestTurnsDesktopAccessibilityOn) {
    setDesktopAccessibility(false);
    const auto before = runTool({"permissions"});
    EXPECT_EQ(before.last()["accessibility"], false);
    EXPECT_EQ(before.last()["screenRecording"], true);

    // A command that needs accessibility fails with the permission error and turns it on while failing.
    support::TempDir dir;
    const auto inspect = runTool({"inspect", dir.write("inspect.json", R"({"app":"nothing-here"})")});
    EXPECT_EQ(inspect.status, 2);
    EXPECT_EQ(inspect.last()["missing"], nlohmann::json({"accessibility"}));
    EXPECT_EQ(runTool({"permissions"}).last()["accessibility"], true);

    setDesktopAccessibility(false);
    const auto requested = runTool({"permissions", "something", "--request"});
    EXPECT_EQ(requested.status, 0);
    EXPECT_EQ(requested.last()["accessibility"], true);
    EXPECT_EQ(runTool({"permissions"}).last()["accessibility"], true);
}

TEST(DesktopPermissions, TheWindowsCommandNeedsOnlyScreenRecording) {
    setDesktopAccessibility(false);
    const auto run = runTool({"windows"});
    setDesktopAccessibility(true);
    EXPECT_NE(run.last()["code"], "permission");
}

}  // namespace
