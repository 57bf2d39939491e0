// Programs started cold by the built tool, as a new user names them: GIMP 2.10 (GTK 2), whose splash screen
// comes before its main window; GNOME Terminal 3.46, whose launcher hands the window to a server that D-Bus
// starts and then exits; jEdit 5.5 (Java Swing through the ATK wrapper), whose windows carry a class no
// desktop entry names and whose accessible frames say nothing of where they are, and whose menus are chosen
// and measured by rules of their own. Each runs from a private home whose settings turn its first-run
// questions off; what the tool says is checked against the process table, ffprobe, the accessibility bus,
// the files the program saves and xwininfo.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

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

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The X11 windows of jEdit that bypass the window manager (its menus' pop-up windows), on screen or not, as
// xwininfo gives them: x, y, width, height.
std::vector<std::array<int, 4>> jeditPopupWindows() {
    std::vector<std::array<int, 4>> popups;
    std::istringstream tree(support::runProgram({"xwininfo", "-root", "-tree"}).out);
    for (std::string line; std::getline(tree, line);) {
        if (line.find("\"org-gjt-sp-jedit-jEdit\")") == std::string::npos) continue;
        std::istringstream words(line);
        std::string id;
        words >> id;
        const std::string info = support::runProgram({"xwininfo", "-id", id}).out;
        if (info.find("Override Redirect State: yes") == std::string::npos) continue;
        std::array<int, 4> rect{};
        const std::array<const char*, 4> keys = {
            "Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"};
        for (size_t k = 0; k < keys.size(); ++k) {
            const size_t at = info.find(keys[k]);
            if (at != std::string::npos) rect[k] = std::atoi(info.c_str() + at + std::strlen(keys[k]));
        }
        if (rect[2] > 1 && rect[3] > 1) popups.push_back(rect);
    }
    return popups;
}

// Menu steps in jEdit, whose window is made too small for its Edit menu, so that Swing shows each menu in a
// pop-up window of its own. Select All, then Text › To Upper Case (which changes only the word at the caret
// when nothing is selected): the document jEdit saves is in capitals from end to end. The pointer stays where
// the last item was chosen: in the last row of the submenu's pop-up window as xwininfo draws it, not where
// Java reports the item (the place of its menu's title, one title's height and a menu's width away).
TEST(ProgramsCold, JeditMenuItemsRunTheirActionAndAreChosenWhereTheyAreDrawn) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/jedit.desktop") &&
                fs::exists("/usr/share/java/java-atk-wrapper.jar"))
        << "install jedit and libatk-wrapper-java (scripts/setup)";
    ProgramHome jedit;
    prepareJedit(jedit);
    const std::string document = jedit.write("notes.txt", "hello world\nsecond line\nthird line\n");
    // Started here as the desktop's launcher starts it (naming its entry), and found running by the tool: a
    // cold Java start beside a busy core can outlast the tool's wait for a launched program's window, which
    // is not what this test is about.
    support::ChildOptions options;
    options.set = jedit.options(0).set;
    options.set["GIO_LAUNCHED_DESKTOP_FILE"] = "/usr/share/applications/jedit.desktop";
    options.set["GIO_LAUNCHED_DESKTOP_FILE_PID"] = std::to_string(getpid());
    support::ChildProcess editor({"jedit", document}, options);
    const auto shown = [&] {
        return stepstest::findObject(stepstest::applicationOf(editor.pid(), 1), "frame", "jEdit - notes.txt", 5) &&
               support::runProgram({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(editor.pid())})
                       .status == 0;
    };
    ASSERT_TRUE(stepstest::eventually(shown, true, kColdStartSeconds)) << "jEdit showed no window";
    json job = stepstest::appJob("jEdit", jedit.home.path() + "/menus.mov",
                                 json::array({{{"action", "menu"}, {"path", {"Edit", "Select All"}}},
                                              {{"action", "menu"}, {"path", {"Edit", "Text", "To Upper Case"}}},
                                              {{"action", "press"}, {"key", "ctrl+s"}}}));
    job["windowSize"] = {{"width", 420}, {"height", 300}};
    const auto started = support::nowSeconds();
    const support::ToolRun run = jedit.run(job);
    std::cout << "jEdit's menu steps took " << support::nowSeconds() - started << " s\n";
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(run.last()["windowTitle"], "jEdit - notes.txt");
    const std::string capitals = "HELLO WORLD\nSECOND LINE\nTHIRD LINE\n";
    EXPECT_EQ(stepstest::eventually([&] { return fileText(document); }, capitals), capitals);

    const std::string pointer = support::runProgram({"xdotool", "getmouselocation", "--shell"}).out;
    ASSERT_NE(pointer.find("Y="), std::string::npos) << pointer;
    const int x = std::atoi(pointer.c_str() + pointer.find("X=") + 2);
    const int y = std::atoi(pointer.c_str() + pointer.find("Y=") + 2);
    const auto popups = jeditPopupWindows();
    ASSERT_FALSE(popups.empty()) << "the menus were not shown in windows of their own";
    int holding = 0;
    for (const auto& [left, top, width, height] : popups) {
        if (x < left || x >= left + width || y < top || y >= top + height) continue;
        ++holding;
        // To Upper Case is the submenu's last row: about 20 pixels high, above a border of a few.
        EXPECT_GE(y, top + height - 26) << "pointer " << x << "," << y << " in the pop-up at " << left << "," << top
                                        << " " << width << "x" << height;
    }
    EXPECT_EQ(holding, 1) << "pointer " << x << "," << y << " in no pop-up window of jEdit";
}

}  // namespace
