// Programs started cold by the built tool, as a new user names them: GIMP 2.10 (GTK 2), whose splash screen
// comes before its main window; GNOME Terminal 3.46, whose launcher hands the window to a server that D-Bus
// starts and then exits; jEdit 5.5 (Java Swing through the ATK wrapper), whose windows carry a class no
// desktop entry names and whose accessible frames say nothing of where they are. Each runs from a private
// home whose settings turn its first-run questions off; what the tool says is checked against the process
// table, ffprobe and the accessibility bus.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include "app_process.h"
#include "atspi_reader.h"
#include "support/child_process.h"
#include "support/tool_process.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using stepstest::describe;

// How long a test lets the tool run before ending it: far beyond its own waits for a launch and a window.
constexpr double kColdStartSeconds = 60;

// A private home, ended with every program that runs with it.
class ProgramHome {
public:
    ~ProgramHome() { home.endPrograms(); }
    stepstest::PrivateHome home;
    std::map<std::string, std::string> extra;  // settings the program needs beyond the home

    std::string write(const std::string& name, const std::string& contents) const {
        fs::create_directories(fs::path(home.path() + "/" + name).parent_path());
        std::ofstream(home.path() + "/" + name) << contents;
        return home.path() + "/" + name;
    }
    support::ToolOptions options(double timeoutSeconds) const {
        support::ToolOptions options;
        options.set = home.environment();
        options.set.insert(extra.begin(), extra.end());
        options.timeoutSeconds = timeoutSeconds;
        return options;
    }
    support::ToolRun inspect(const json& job, double timeoutSeconds = kColdStartSeconds) const {
        return support::runTool({"inspect", write("inspect.json", job.dump())}, options(timeoutSeconds));
    }
    support::ToolRun windows(const std::string& app) const {
        return support::runTool({"windows", "--app", app}, options(20));
    }
    support::ToolRun run(json job) const {
                return home.run(job, kColdStartSeconds + 60, extra);
    }
};

std::string executableName(int pid) {
    std::error_code error;
    return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).filename();
}

// Ends a process the tool found but that carries no private home (a server D-Bus started), by its id, and
// waits until it is gone.
void endProcess(int pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    const auto gone = [pid] { return !fs::exists("/proc/" + std::to_string(pid) + "/exe"); };
    if (!stepstest::eventually(gone, true, 10)) kill(pid, SIGKILL);
}

bool listsSplash(const json& windows) {
    for (const json& window : windows["windows"])
        if (window.value("title", "") == "GIMP Startup") return true;
    return false;
}

// GIMP 2.10 with GTK 2's accessibility modules loaded (GTK 2 loads none by default). A new profile asks
// nothing, but its first start queries every plug-in, which takes longer than the tool waits for a window on
// a loaded machine: GIMP's own batch mode, without a display, does that first.
void prepareGimp(ProgramHome& gimp) {
    gimp.extra["GTK_MODULES"] = "gail:atk-bridge";
    support::ToolOptions batch = gimp.options(180);
    batch.unset = {"DISPLAY"};
    const support::ToolRun prepared =
        support::runProgram({"gimp-2.10", "-i", "-d", "-f", "-b", "(gimp-quit 0)"}, batch);
    ASSERT_EQ(prepared.status, 0) << prepared.err;
}

TEST(ProgramsCold, GimpIsInspectedAndRecordedInItsMainWindowNotItsSplashScreen) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/gimp.desktop")) << "install gimp (scripts/setup)";
    {
        ProgramHome gimp;
        prepareGimp(gimp);
        const auto started = support::nowSeconds();
        const support::ToolRun inspected =
            gimp.inspect({{"app", "GNU Image Manipulation Program"}, {"maxNodes", 5}});
        std::cout << "GIMP inspected cold in " << support::nowSeconds() - started << " s\n";
        ASSERT_EQ(inspected.status, 0) << describe(inspected);
        const json dump = inspected.last();
        EXPECT_EQ(dump["bundleId"], "gimp");
        EXPECT_NE(dump["nodes"][0]["title"], "GIMP Startup");
        EXPECT_EQ(dump["menuBar"][0], "File") << dump["menuBar"];
        EXPECT_FALSE(listsSplash(gimp.windows("gimp").last()));
    }
    ProgramHome gimp;
    prepareGimp(gimp);
    const auto started = support::nowSeconds();
    const support::ToolRun run = gimp.run(stepstest::appJob("gimp", gimp.home.path() + "/gimp.mov",
                                                           json::array({{{"action", "press"}, {"key", "escape"}}})));
    std::cout << "GIMP recorded cold in " << support::nowSeconds() - started << " s\n";
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.last()["windowTitle"], "GNU Image Manipulation Program");
    EXPECT_GT(run.last()["window"]["width"].get<double>(), 722);
}

TEST(ProgramsCold, TerminalIsFollowedFromItsLauncherToTheServerThatShowsTheWindow) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/org.gnome.Terminal.desktop"))
        << "install gnome-terminal (scripts/setup)";
    ProgramHome terminal;
    const support::ToolRun inspected = terminal.inspect({{"app", "Terminal"}, {"maxNodes", 5}});
    ASSERT_EQ(inspected.status, 0) << describe(inspected);
    const int server = inspected.last()["pid"];
    EXPECT_EQ(executableName(server), "gnome-terminal-server");
    EXPECT_EQ(inspected.last()["bundleId"], "org.gnome.Terminal");
    EXPECT_EQ(inspected.last()["menuBar"][0], "File");
    // The server is D-Bus's child, not the home's: ended here, so that the run below starts it cold again.
    endProcess(server);

    const support::ToolRun run = terminal.run(stepstest::appJob(
        "org.gnome.Terminal", terminal.home.path() + "/terminal.mov", json::array({{{"action", "type"}, {"value", "x"}}})));
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.last()["windowTitle"], "Terminal");
    const json listed = terminal.windows("org.gnome.Terminal").last();
    ASSERT_EQ(listed["windows"].size(), 1u) << listed;
    EXPECT_EQ(executableName(listed["windows"][0]["pid"]), "gnome-terminal-server");
    endProcess(listed["windows"][0]["pid"]);
}

// jEdit with the ATK wrapper as its assistive technology, as a user turns it on: the setting in the home's
// .accessibility.properties, the wrapper's jar on the class path. Java reads user.home from the password
// file, not from HOME, so the home is given to it too. No welcome page and no tip of the day.
void prepareJedit(ProgramHome& jedit) {
    jedit.write(".accessibility.properties", "assistive_technologies=org.GNOME.Accessibility.AtkWrapper\n");
    jedit.write(".jedit/properties", "firstTime=false\ntip.show=false\n");
    jedit.extra["JAVA_TOOL_OPTIONS"] =
        "-Duser.home=" + jedit.home.path() + " -Xbootclasspath/a:/usr/share/java/java-atk-wrapper.jar";
}

TEST(ProgramsCold, JeditIsNamedByItsEntryMeasuredWhereItIsAndItsUsersClickIsLogged) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/jedit.desktop") &&
                fs::exists("/usr/share/java/java-atk-wrapper.jar"))
        << "install jedit and libatk-wrapper-java (scripts/setup)";
    ProgramHome jedit;
    prepareJedit(jedit);
    json job = stepstest::appJob("jEdit", jedit.home.path() + "/jedit.mov", json::array());
    job.erase("steps");
    job["windowSize"] = {{"width", 900}, {"height", 600}};
    job["recordUser"] = true;
    job["durationSec"] = 3;
        support::ChildOptions options;
    options.set = jedit.options(0).set;
    options.err = support::ChildStream::pipe();
    support::ChildProcess recording({support::toolPath(), "run", jedit.write("record.json", job.dump())}, options);
    ASSERT_TRUE(recording.waitFor([](const json& line) { return line.value("message", "") == "Recording your actions"; },
                                  kColdStartSeconds + 30))
        << recording.output() << recording.errors();

    // Listed under the entry's name while it records; the user clicks its toolbar's first button, found on
    // the accessibility bus.
    const json listed = jedit.windows("jEdit").last();
    ASSERT_EQ(listed["windows"].size(), 1u) << listed;
    const int pid = listed["windows"][0]["pid"];
    EXPECT_EQ(listed["windows"][0]["bundleId"], "jedit");
    const stepstest::Accessible toolBar = stepstest::findObject(stepstest::applicationOf(pid), "tool bar");
    ASSERT_TRUE(toolBar) << "no tool bar on the accessibility bus";
    const std::vector<stepstest::Accessible> buttons = stepstest::findAll(toolBar, "push button");
    ASSERT_FALSE(buttons.empty());
    const auto button = stepstest::screenExtentsOf(buttons.front());
    ASSERT_TRUE(button);
    support::runProgram({"xdotool", "mousemove", std::to_string(button->x + button->width / 2),
                         std::to_string(button->y + button->height / 2), "click", "1"});
    support::ToolRun user;
    user.status = recording.wait(60);
    user.out = recording.output();
    user.err = recording.errors();
    ASSERT_EQ(user.status, 0) << describe(user);
    const json result = user.last();
    EXPECT_EQ(result["window"]["width"], 900);
    EXPECT_EQ(result["window"]["height"], 600);
    EXPECT_EQ(support::runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                   "stream=width,height", "-of", "csv=p=0", result["output"]})
                  .out,
              "900,600\n");
    ASSERT_EQ(result["clicks"].size(), 1u) << describe(user);
    EXPECT_EQ(result["clicks"][0]["role"], "AXButton") << result["clicks"];
    EXPECT_EQ(result["clicks"][0]["label"], "New (C+n)") << result["clicks"];

    // Named as a person reads it in a menu, the running jEdit is found; named again, it is activated, not
    // started a second time.
    const support::ToolRun byGenericName =
        jedit.inspect({{"app", "Programmer's Text Editor"}, {"launch", false}, {"maxNodes", 1}});
    ASSERT_EQ(byGenericName.status, 0) << describe(byGenericName);
    EXPECT_EQ(byGenericName.last()["pid"], pid);
    EXPECT_EQ(byGenericName.last()["app"], "jEdit");
    const support::ToolRun again = jedit.inspect({{"app", "jEdit"}, {"maxNodes", 1}});
    ASSERT_EQ(again.status, 0) << describe(again);
    EXPECT_EQ(again.last()["pid"], pid);
    EXPECT_EQ(jedit.windows("jEdit").last()["windows"].size(), 1u);

    // A name nothing is called: the same error, and the closest installed names on standard error.
    const support::ToolRun misspelt = jedit.inspect({{"app", "jEdt"}, {"maxNodes", 1}});
    EXPECT_EQ(misspelt.status, 1);
    EXPECT_EQ(misspelt.last()["message"], "app not found: jEdt");
    EXPECT_NE(misspelt.err.find("\"jEdit\""), std::string::npos) << misspelt.err;
}

}  // namespace
