// The Linux applications backend: desktop entries, launching, running applications, activation, screens.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/linux/x11/x11_applications.h"
#include "platform/linux/desktop/process_launch.h"
#include "platform/linux/desktop/desktop_entries.h"
#include "platform/linux/desktop/desktop_entry_command.h"
#include "support/child_process.h"
#include "support/tool_process.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::linux_desktop;

// Points the XDG variables at fresh directories for the test's lifetime.
class XdgDirs {
public:
    support::TempDir home;
    support::TempDir system;
    XdgDirs() {
        fs::create_directories(home.path() + "/applications");
        fs::create_directories(system.path() + "/applications");
        setenv("XDG_DATA_HOME", home.path().c_str(), 1);
        setenv("XDG_DATA_DIRS", system.path().c_str(), 1);
    }
    ~XdgDirs() {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_DATA_DIRS");
    }
    std::string write(bool inHome, const std::string& relative, const std::string& text) const {
        const std::string path = (inHome ? home.path() : system.path()) + "/applications/" + relative;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << text;
        return path;
    }
};

TEST(DesktopEntries, IdsComeFromTheFirstDirectoryAndHiddenEntriesAreDeleted) {
    XdgDirs dirs;
    dirs.write(true, "org.example.Edit.desktop", "[Desktop Entry]\nType=Application\nName=Home Edit\nExec=edit\n");
    dirs.write(false, "org.example.Edit.desktop", "[Desktop Entry]\nType=Application\nName=System Edit\nExec=edit\n");
    dirs.write(false, "vendor/tool.desktop", "[Desktop Entry]\nType=Application\nName=Tool\nExec=tool\n");
    dirs.write(true, "gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n");
    dirs.write(false, "gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\nExec=gone\n");
    dirs.write(false, "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=http://example.com\n");

    const auto entries = loadDesktopEntries();
    std::vector<std::string> ids;
    for (const auto& entry : entries) ids.push_back(entry.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"org.example.Edit", "vendor-tool"}));
    EXPECT_EQ(entries[0].name, "Home Edit");
    EXPECT_EQ(desktopIdOf(dirs.system.path() + "/applications/vendor/tool.desktop"), "vendor-tool");
    EXPECT_EQ(desktopIdOf("/elsewhere/My.App.desktop"), "My.App");

    X11Applications apps;
    EXPECT_EQ(apps.applicationWithIdentity("vendor-tool"), dirs.system.path() + "/applications/vendor/tool.desktop");
    EXPECT_EQ(apps.applicationNamed("System Edit"), std::nullopt);  // shadowed by the home entry
    EXPECT_EQ(apps.applicationNamed("Tool"), dirs.system.path() + "/applications/vendor/tool.desktop");
    EXPECT_EQ(apps.applicationNamed("tool"), std::nullopt);
    EXPECT_EQ(apps.applicationWithIdentity("gone"), std::nullopt);
    EXPECT_TRUE(apps.isApplicationPath(dirs.system.path() + "/applications/vendor/tool.desktop"));
    EXPECT_FALSE(apps.isApplicationPath(dirs.system.path() + "/applications/link.desktop"));
    EXPECT_FALSE(apps.isApplicationPath("/nonexistent/thing.desktop"));
    EXPECT_TRUE(apps.isApplicationPath("/bin/sh"));
    EXPECT_FALSE(apps.isApplicationPath("/bin"));
}

TEST(DesktopEntries, CommandsAreSplitByTheEntryRules) {
    XdgDirs dirs;
    const std::string path = dirs.write(
        true, "x.desktop",
        "# comment\n[Desktop Entry]\nType=Application\nName=Files\nName[de]=Dateien\nName[fr]=Fichiers\n"
        "Icon=x-icon\nExec=\"/opt/my app/run\" --name=%c \"quoted %u\" --file %f %U 100%% %i %k "
        "\"a \\\\\\\\ b \\\\\" c\"\n[Desktop Action New]\nName=Other\nExec=other\n");
    const auto entry = readDesktopEntry(path, "x");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "Files");
    EXPECT_EQ(commandArguments(*entry),
              (std::vector<std::string>{"/opt/my app/run", "--name=Files", "quoted %u", "--file", "100%",
                                        "--icon", "x-icon", path, "a \\ b \" c"}));

    DesktopEntry open;
    open.exec = "prog \"unterminated";
    EXPECT_TRUE(commandArguments(open).empty());
}

TEST(ProcessLaunch, FailuresNameTheProgramAndTheReason) {
    try {
        launchDetached({"/nonexistent/program"}, "");
        FAIL() << "expected an error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot launch /nonexistent/program: No such file or directory");
    }
    try {
        launchDetached({"/bin/true"}, "/nonexistent/dir");
        FAIL() << "expected an error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot launch /bin/true: cannot enter /nonexistent/dir: No such file or directory");
    }
}

TEST(ProcessLaunch, TheProgramRunsInItsOwnSessionAndIsNotOurChild) {
    support::TempDir dir;
    const std::string marker = dir.path() + "/marker";
    const pid_t pid = launchDetached({"/bin/sh", "-c", "echo $$ $(ps -o sid= -p $$) > " + marker + "; sleep 30"}, "");
    for (int i = 0; i < 200 && !fs::exists(marker); ++i) usleep(20000);
    ASSERT_TRUE(fs::exists(marker));
    usleep(50000);
    std::ifstream in(marker);
    pid_t reportedPid = 0, session = 0;
    in >> reportedPid >> session;
    EXPECT_EQ(reportedPid, pid);
    EXPECT_NE(session, getsid(0));  // a session of its own, apart from ours
    EXPECT_NE(getppid(), pid);
    EXPECT_FALSE(processEnded(pid));
    kill(pid, SIGKILL);
    for (int i = 0; i < 200 && !processEnded(pid); ++i) usleep(10000);
    EXPECT_TRUE(processEnded(pid));
}

TEST(DesktopApplications, AStartedEntryRunsWithItsIdentityAndCanBeActivated) {
    XdgDirs dirs;
    const std::string entryPath = dirs.write(
        true, "org.quorrel.CaptureFixture.desktop",
        std::string("[Desktop Entry]\nType=Application\nName=Quorrel Fixture Entry\nExec=") + QC_FIXTURE_APP +
            " --title \"Backend Fixture\" %U\n");
    X11Applications apps;
    EXPECT_EQ(apps.identityOf(entryPath), "org.quorrel.CaptureFixture");
    const platform::ApplicationProcess started = apps.open(entryPath);
    ASSERT_GT(started.pid, 0);

    std::optional<platform::ApplicationProcess> found;
    const double deadline = support::nowSeconds() + 20;
    while (!found && support::nowSeconds() < deadline) {
        for (const auto& app : apps.running())
            if (app.pid == started.pid && app.identity) found = app;
        if (!found) usleep(100000);
    }
    ASSERT_TRUE(found) << "the started fixture never showed up";
    EXPECT_EQ(found->identity, "org.quorrel.CaptureFixture");
    EXPECT_EQ(found->name, "Quorrel Fixture Entry");
    EXPECT_EQ(found->entryPath, entryPath);
    EXPECT_EQ(found->executablePath, fs::canonical(QC_FIXTURE_APP).string());
    apps.activate(*found);
    EXPECT_FALSE(apps.isTerminated(started.pid));
    kill(started.pid, SIGTERM);
    for (int i = 0; i < 300 && !apps.isTerminated(started.pid); ++i) usleep(10000);
    EXPECT_TRUE(apps.isTerminated(started.pid));
}

TEST(DesktopApplications, TheMainScreenIsThePrimaryMonitorInBottomLeftCoordinates) {
    X11Applications apps;
    const auto screen = apps.mainScreen();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->frame.x, 0);
    EXPECT_EQ(screen->frame.y, 0);
    EXPECT_EQ(screen->frame.width, 1440);
    EXPECT_EQ(screen->frame.height, 900);
    EXPECT_GT(screen->visibleFrame.width, 0);
    EXPECT_LE(screen->visibleFrame.y + screen->visibleFrame.height, 900);
}

}  // namespace
