// LibreOffice Writer 7.4 (Debian's libreoffice-writer with the GTK 3 plugin) launched cold from its desktop
// entry by name, taken out of the maximised state it opens in, placed, sized and recorded; then listed and
// inspected under the entry's name and id; its menus walked. Read back with ffprobe, the window's own X
// properties and the document's text on the accessibility bus.
//
// Its desktop entry runs a launcher (oosplash) that starts soffice.bin as its child; on a new profile the
// first soffice.bin ends after connecting to the display and a second one shows the window.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include <nlohmann/json.hpp>

#include <atspi/atspi.h>

#include "app_process.h"
#include "atspi_reader.h"
#include "libreoffice_home.h"
#include "support/tool_process.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using WriterHome = libreofficetest::LibreOfficeHome;

std::string output(const std::vector<std::string>& argv) { return support::runProgram(argv).out; }

// The X window that has the focus, as the window manager says.
std::string activeWindow() {
    const std::string line = output({"xprop", "-root", "_NET_ACTIVE_WINDOW"});
    const auto at = line.find("0x");
    return at == std::string::npos ? "" : line.substr(at, line.find_first_of(", \n", at) - at);
}

// The windows of class "Soffice" on screen: soffice.bin's own pop-ups (its menus), which name no entry.
bool sofficePopUpShown() { return !output({"xdotool", "search", "--onlyvisible", "--class", "^Soffice$"}).empty(); }

TEST(WriterFromItsEntry, LaunchedColdItIsPlacedOutOfItsMaximisedStateRecordedAndNamedByTheEntry) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/libreoffice-writer.desktop"))
        << "install libreoffice-writer and libreoffice-gtk3 (scripts/setup)";
    WriterHome home;
    const std::string out = home.path() + "/writer.mov";
    const std::string job = home.path() + "/job.json";
    // Typed, selected from the Edit menu and made bold from a submenu of Format: LibreOffice lists the items
    // of its closed menus without the visible state.
    std::ofstream(job) << json{{"app", "LibreOffice Writer"},
                               {"windowSize", {{"width", 1024}, {"height", 700}}},
                               {"out", out},
                               {"settleMs", 500},
                               {"tailMs", 500},
                               {"steps",
                                {{{"action", "type"}, {"value", "Hello Writer"}},
                                 {{"action", "menu"}, {"path", {"Edit", "Select All"}}},
                                 {{"action", "menu"}, {"path", {"Format", "Text", "Bold"}}}}}}
                              .dump();
    const auto started = std::chrono::steady_clock::now();
    const support::ToolRun run = support::runTool({"run", job}, home.options(60));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "Writer launched cold and recorded in " << seconds << " s\n";
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    // One time limit for the launch and the window, whatever the machine: well inside it here.
    EXPECT_LT(seconds, 20);

    // The asked size, centred on the 1440 × 900 screen, although Writer opened maximised.
    const json result = run.last();
    EXPECT_EQ(result["window"], (json{{"x", 208}, {"y", 100}, {"width", 1024}, {"height", 700}}));
    EXPECT_EQ(result["width"], 1024);
    EXPECT_EQ(result["height"], 700);
    EXPECT_NE(result["windowTitle"].get<std::string>().find("LibreOffice Writer"), std::string::npos);
    const std::string probe = output({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                      "stream=width,height", "-of", "csv=p=0", out});
    EXPECT_EQ(probe, "1024,700\n");
    const std::string client = activeWindow();
    ASSERT_FALSE(client.empty());
    EXPECT_EQ(output({"xprop", "-id", client, "_NET_WM_STATE"}).find("MAXIMIZED"), std::string::npos);
    EXPECT_NE(output({"xprop", "-id", client, "WM_CLASS"}).find("\"libreoffice-writer\""), std::string::npos);

    // Listed under the entry's name and id, also while one of soffice.bin's own pop-ups (a menu, of class
    // "Soffice") is in front of the document window.
    support::runProgram({"xdotool", "key", "alt+f"});
    for (int i = 0; i < 50 && !sofficePopUpShown(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(sofficePopUpShown()) << "the File menu did not open";
    for (const std::string app : {"LibreOffice Writer", "libreoffice-writer"}) {
        const json listed = support::runTool({"windows", "--app", app}, home.options(10)).last();
        ASSERT_EQ(listed["windows"].size(), 1u) << app << ": " << listed;
        const json& window = listed["windows"][0];
        EXPECT_EQ(window["app"], "LibreOffice Writer");
        EXPECT_EQ(window["bundleId"], "libreoffice-writer");
        EXPECT_EQ(window["frame"], result["window"]);
        EXPECT_EQ(window["title"], result["windowTitle"]);
    }
    support::runProgram({"xdotool", "key", "Escape"});

    // inspect finds the running Writer under the same identity.
    const std::string inspectJob = home.path() + "/inspect.json";
    std::ofstream(inspectJob) << json{{"app", "LibreOffice Writer"}, {"launch", false}, {"maxNodes", 1}}.dump();
    const json inspected = support::runTool({"inspect", inspectJob}, home.options(20)).last();
    EXPECT_EQ(inspected["app"], "LibreOffice Writer");
    EXPECT_EQ(inspected["bundleId"], "libreoffice-writer");
    // The process found is the one that draws the window, not the launcher that was started.
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(inspected["pid"].get<int>()) + "/exe").filename(),
              "soffice.bin");

    // Both menu paths were chosen before the run's result: the text is selected whole, and bold.
    EXPECT_EQ(result["preflight"]["checked"], (json{2, 3}));
    const stepstest::Accessible writer = stepstest::applicationOf(inspected["pid"].get<int>());
    const stepstest::Accessible paragraph = stepstest::findObject(writer, "paragraph", "");
    ASSERT_TRUE(paragraph) << "no paragraph on the accessibility bus";
    EXPECT_EQ(stepstest::textOf(paragraph), "Hello Writer");
    AtspiText* text = atspi_accessible_get_text_iface(paragraph.get());
    ASSERT_NE(text, nullptr);
    AtspiRange* selected = atspi_text_get_selection(text, 0, nullptr);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->start_offset, 0);
    EXPECT_EQ(selected->end_offset, 12);
    g_free(selected);
    gchar* weight = atspi_text_get_text_attribute_value(text, 1, const_cast<gchar*>("weight"), nullptr);
    EXPECT_GE(weight ? std::atoi(weight) : 0, 600) << "the text is not bold";
    g_free(weight);
    g_object_unref(text);
}

}  // namespace
