// Finding, resolving and starting applications over the in-memory desktop.

#include <gtest/gtest.h>

#include "base/capture_error.h"
#include "fakes/fake_applications.h"
#include "fakes/fake_capture.h"
#include "fakes/fake_platform.h"
#include "target/app_launch.h"

namespace {

using fakes::FakeApplications;
using platform::ApplicationProcess;
using Optional = std::optional<std::string>;

ApplicationProcess running(int32_t pid, Optional identity, Optional name, Optional entry = {},
                           Optional executable = {}) {
    ApplicationProcess app;
    app.pid = pid;
    app.identity = std::move(identity);
    app.name = std::move(name);
    app.entryPath = std::move(entry);
    app.executablePath = std::move(executable);
    return app;
}

FakeApplications::Installed installed(std::string path, Optional identity, Optional name, int32_t pid = 0) {
    FakeApplications::Installed entry;
    entry.path = std::move(path);
    entry.identity = std::move(identity);
    entry.name = std::move(name);
    entry.pid = pid;
    return entry;
}

class AppLaunchTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    FakeApplications apps;
    platform::Services previous;

    void SetUp() override {
        auto services = platform::services();
        services.applications = &apps;
        previous = platform::install(services);
        apps.apps = {
            running(10, "org.example.Editor", "Editor", "/usr/share/applications/org.example.Editor.desktop",
                    "/usr/bin/editor"),
            running(11, std::nullopt, "Viewer", std::nullopt, "/usr/bin/viewer"),
        };
    }
    void TearDown() override { platform::install(previous); }
};

TEST_F(AppLaunchTest, RunningAppMatchesEachIdentityExactlyAndCaseSensitively) {
    EXPECT_EQ(target::runningApp("org.example.Editor")->pid, 10);
    EXPECT_EQ(target::runningApp("Editor")->pid, 10);
    EXPECT_EQ(target::runningApp("/usr/share/applications/org.example.Editor.desktop")->pid, 10);
    EXPECT_EQ(target::runningApp("/usr/bin/viewer")->pid, 11);
    EXPECT_EQ(target::runningApp("Viewer")->pid, 11);
    EXPECT_FALSE(target::runningApp("editor"));
    EXPECT_FALSE(target::runningApp("ORG.EXAMPLE.EDITOR"));
    EXPECT_FALSE(target::runningApp(""));  // absent fields never match, not even the empty string
}

TEST_F(AppLaunchTest, RunningAppTakesTheFirstInThePlatformsOrder) {
    apps.apps.insert(apps.apps.begin(), running(9, std::nullopt, "Editor"));
    EXPECT_EQ(target::runningApp("Editor")->pid, 9);
    EXPECT_EQ(target::runningApp("org.example.Editor")->pid, 10);
}

TEST_F(AppLaunchTest, ResolvePrefersAPathThenTheIdentityThenTheName) {
    apps.installed = {
        installed("/data/a/Calc.desktop", "org.example.Calc", "Numbers"),
        installed("/data/b/Numbers.desktop", "org.other.Numbers", "org.example.Calc"),
    };
    EXPECT_EQ(target::resolveAppURL("/data/b/Numbers.desktop"), "/data/b/Numbers.desktop");
    // The identity lookup wins over a name that happens to be the same text.
    EXPECT_EQ(target::resolveAppURL("org.example.Calc"), "/data/a/Calc.desktop");
    // Names are searched in the directories' order.
    EXPECT_EQ(target::resolveAppURL("Numbers"), "/data/a/Calc.desktop");
    EXPECT_FALSE(target::resolveAppURL("numbers"));
    EXPECT_FALSE(target::resolveAppURL("/data/missing.desktop"));
}

TEST_F(AppLaunchTest, LaunchActivatesARunningApplicationWithoutStartingIt) {
    apps.installed = {installed("/e.desktop", "org.example.Editor", std::nullopt, 99)};
    const ApplicationProcess app = target::launch("Editor");
    EXPECT_EQ(app.pid, 10);
    EXPECT_EQ(apps.activated, std::vector<int32_t>{10});
    EXPECT_TRUE(apps.opened.empty());
}

TEST_F(AppLaunchTest, LaunchStartsAnInstalledApplicationAndWaitsUntilTheDesktopKnowsIt) {
    apps.installed = {installed("/data/Calc.desktop", "org.example.Calc", "Calc", 42)};
    apps.installed[0].registerPolls = 3;
    const ApplicationProcess app = target::launch("Calc");
    EXPECT_EQ(apps.opened, std::vector<std::string>{"/data/Calc.desktop"});
    EXPECT_EQ(app.pid, 42);
    EXPECT_EQ(app.identity, "org.example.Calc");  // the desktop's own record, not the bare process
    EXPECT_TRUE(apps.activated.empty());
    EXPECT_EQ(platform.clock.sleeps.size(), 3u);
}

TEST_F(AppLaunchTest, ASingleInstanceLauncherThatExitsIsFoundByItsIdentity) {
    apps.installed = {installed("/data/Calc.desktop", "org.example.Calc", "Calc", 42)};
    apps.installed[0].registerPolls = 2;
    apps.installed[0].launcherExits = true;
    apps.installed[0].successor = running(77, "org.example.Calc", std::nullopt);
    EXPECT_EQ(target::launch("org.example.Calc").pid, 77);
}

TEST_F(AppLaunchTest, ALauncherThatStaysAliveIsFoundThroughTheProgramItStarted) {
    // LibreOffice: the entry's command is a launcher that runs soffice.bin as its child and waits for it;
    // the child's windows do not name the entry.
    fakes::FakeCapturePlatform desktop;
    platform::ShareableWindow shown;
    shown.owningApplication = platform::RunningApplication{43, "", "Soffice"};
    shown.frame = {0, 0, 640, 480};
    desktop.capture.content.windows = {shown};
    apps.installed = {installed("/data/writer.desktop", "writer", "Writer", 42)};
    apps.installed[0].registerPolls = 2;
    apps.installed[0].child = running(43, std::nullopt, "Soffice", std::nullopt, "/opt/office/soffice.bin");
    const double start = platform.clock.hostSeconds();
    const ApplicationProcess app = target::launch("Writer");
    EXPECT_EQ(app.pid, 43);
    EXPECT_EQ(app.identity, "writer");
    EXPECT_EQ(app.name, "Writer");
    EXPECT_EQ(app.entryPath, "/data/writer.desktop");
    EXPECT_EQ(app.executablePath, "/opt/office/soffice.bin");
    EXPECT_LT(platform.clock.hostSeconds() - start, 1.0);
}

TEST_F(AppLaunchTest, AProgramThatEndsBeforeShowingAWindowIsFollowedToItsNextStart) {
    // LibreOffice on a new profile: the first soffice.bin connects to the display and ends; the launcher
    // starts a second one, whose window names the entry.
    apps.installed = {installed("/data/writer.desktop", "writer", "Writer", 42)};
    apps.installed[0].child = running(43, std::nullopt, "Soffice");
    const double start = platform.clock.hostSeconds();
    class Restart final : public platform::Clock {
    public:
        Restart(fakes::FakeClock& clock, FakeApplications& apps) : clock_(clock), apps_(apps) {}
        double hostSeconds() override { return clock_.hostSeconds(); }
        double epochSeconds() override { return clock_.epochSeconds(); }
        void sleep(double seconds) override {
            clock_.sleep(seconds);
            if (clock_.sleeps.size() == 10) apps_.terminated.insert(43);
            if (clock_.sleeps.size() == 20) {
                apps_.apps.push_back(running(44, "writer", "Writer", "/data/writer.desktop"));
                apps_.parents[44] = 42;
            }
        }

    private:
        fakes::FakeClock& clock_;
        FakeApplications& apps_;
    } restart(platform.clock, apps);
    platform::Services services = platform::services();
    services.clock = &restart;
    const platform::Services before = platform::install(services);
    const ApplicationProcess app = target::launch("Writer");
    platform::install(before);
    EXPECT_EQ(app.pid, 44);
    EXPECT_NEAR(platform.clock.hostSeconds() - start, 20 * target::kLaunchPollSeconds, 1e-9);
}

TEST_F(AppLaunchTest, ALauncherThatExitsWithoutASuccessorFailsAfterTheWait) {
    // An identity to hand over to: a successor might still come, so the whole wait is given to it.
    apps.installed = {installed("/data/Calc.desktop", "org.example.Calc", std::nullopt, 42)};
    apps.installed[0].launcherExits = true;
    const double start = platform.clock.hostSeconds();
    try {
        target::launch("/data/Calc.desktop");
        FAIL() << "expected an error";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.code(), "external");
        EXPECT_EQ(error.description(), "the application ended without showing up: /data/Calc.desktop");
    }
    EXPECT_GE(platform.clock.hostSeconds() - start, target::kLaunchRegistrationSeconds);
}

TEST_F(AppLaunchTest, AProcessThatNeverRegistersIsReturnedAfterTheWait) {
    apps.installed = {installed("/opt/tool", std::nullopt, std::nullopt, 50)};
    apps.installed[0].registers = false;
    EXPECT_EQ(target::launch("/opt/tool").pid, 50);
    EXPECT_NEAR(platform.clock.sleeps.size(), target::kLaunchRegistrationSeconds / target::kLaunchPollSeconds, 1);
}

TEST_F(AppLaunchTest, AProgramStartedByPathThatExitsAtOnceIsReportedAtOnce) {
    apps.installed = {installed("/opt/crashes", std::nullopt, std::nullopt, 51)};
    apps.installed[0].registers = false;
    apps.installed[0].launcherExits = true;
    const double start = platform.clock.hostSeconds();
    try {
        target::launch("/opt/crashes");
        FAIL() << "expected an error";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(), "the application ended without showing up: /opt/crashes");
    }
    EXPECT_LE(platform.clock.hostSeconds() - start, target::kLaunchPollSeconds);
}

TEST_F(AppLaunchTest, TheWaitEndsAtTheDeadlineTheCallerGives) {
    apps.installed = {installed("/opt/tool", std::nullopt, std::nullopt, 50)};
    apps.installed[0].registers = false;
    const double deadline = platform.clock.hostSeconds() + 4;
    EXPECT_EQ(target::launch("/opt/tool", deadline).pid, 50);
    EXPECT_GE(platform.clock.hostSeconds(), deadline);
    EXPECT_LT(platform.clock.hostSeconds(), deadline + target::kLaunchPollSeconds + 1e-9);
}

TEST_F(AppLaunchTest, NamesFromMenusResolveAfterEveryOwnNameAndARunningOneIsNotStartedAgain) {
    // A generic name never shadows another application's own name; a generic name comes before a full name.
    apps.installed = {installed("/data/mail.desktop", "mail", "Mail", 60),
                      installed("/data/tb.desktop", "tb", "Thunderbird", 61),
                      installed("/data/notes.desktop", "notes", "Notes", 62)};
    apps.installed[0].otherNames = {"Mail Client", "Mail Reader"};
    apps.installed[1].otherNames = {"Thunderbird Mail", "Mail Client"};
    apps.installed[2].otherNames = {"Mail"};
    EXPECT_EQ(target::resolveAppURL("Mail"), "/data/mail.desktop");
    EXPECT_EQ(target::resolveAppURL("Mail Client"), "/data/mail.desktop");
    EXPECT_EQ(target::resolveAppURL("Thunderbird Mail"), "/data/tb.desktop");
    // Started by its generic name or its full name, then named again while it runs: activated, not started again.
    EXPECT_EQ(target::launch("Thunderbird Mail").pid, 61);
    EXPECT_EQ(target::launch("Thunderbird").pid, 61);
    EXPECT_EQ(target::launch("Mail Reader").pid, 60);
    EXPECT_EQ(target::launch("Mail Client").pid, 60);
    EXPECT_EQ(apps.opened, (std::vector<std::string>{"/data/tb.desktop", "/data/mail.desktop"}));
    // Nothing called so: the closest names, nearest first, six at most.
    const std::vector<std::string> closest = target::closestInstalledNames(
        "Thunderbrid", {"Calculator", "Files", "Maps", "Terminal", "Thunderbird", "Image Viewer", "Text Editor", "Web"});
    ASSERT_EQ(closest.size(), target::kClosestNamesShown);
    EXPECT_EQ(closest.front(), "Thunderbird");
}

TEST_F(AppLaunchTest, MissingApplicationsAndFailedStartsAreErrors) {
    try {
        target::launch("Nothing Here");
        FAIL() << "expected an error";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(), "app not found: Nothing Here");
        EXPECT_EQ(error.code(), "not_found");
    }
    apps.installed = {installed("/data/Broken.desktop", std::nullopt, "Broken")};
    apps.installed[0].openError = "cannot start broken";
    try {
        target::launch("Broken");
        FAIL() << "expected an error";
    } catch (const CaptureError&) {
        FAIL() << "the platform's error passes unchanged";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot start broken");
    }
}

}  // namespace
