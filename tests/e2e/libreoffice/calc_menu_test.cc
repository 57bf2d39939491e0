// LibreOffice Calc 7.4 (GTK 3 plugin) after a menu step: Calc gives the focus back to its menu bar once the
// chosen item has run, so keys typed next went to the menu bar and the run still reported them as done. After
// the step the keys must reach the sheet, which is read from outside (the cell's text through libatspi).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <nlohmann/json.hpp>

#include <atspi/atspi.h>

#include "app_process.h"
#include "atspi_reader.h"
#include "calc_sheet.h"
#include "libreoffice_home.h"
#include "support/tool_process.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

TEST(CalcAfterAMenuStep, KeysTypedNextReachTheSheetAndTheMenuBarHasLetTheKeyboardGo) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/libreoffice-calc.desktop"))
        << "install libreoffice-calc and libreoffice-gtk3 (scripts/setup)";
    libreofficetest::LibreOfficeHome home;
    const std::string job = home.path() + "/job.json";
    // A menu item that runs at once (no dialog), then keys typed into the selected cell, A1 of a new sheet.
    std::ofstream(job) << json{{"app", "LibreOffice Calc"},
                               {"out", home.path() + "/calc.mov"},
                               {"settleMs", 500},
                               {"tailMs", 300},
                               {"fps", 10},
                               {"steps",
                                {{{"action", "menu"}, {"path", {"View", "Formula Bar"}}},
                                 {{"action", "type"}, {"value", "42"}},
                                 {{"action", "press"}, {"key", "enter"}}}}}
                              .dump();
    const auto started = std::chrono::steady_clock::now();
    const support::ToolRun run = support::runTool({"run", job}, home.options(90));
    std::cout << "Calc launched cold and driven in "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() << " s\n";
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    const std::string inspectJob = home.path() + "/inspect.json";
    std::ofstream(inspectJob) << json{{"app", "LibreOffice Calc"}, {"launch", false}, {"maxNodes", 1}}.dump();
    const json inspected = support::runTool({"inspect", inspectJob}, home.options(20)).last();
    ASSERT_TRUE(inspected.contains("pid")) << inspected;
    const stepstest::Accessible calc = stepstest::applicationOf(inspected["pid"].get<int>(), 10);
    ASSERT_TRUE(calc);
    AtspiAccessible* window = atspi_accessible_get_child_at_index(calc.get(), 0, nullptr);
    ASSERT_NE(window, nullptr);
    const stepstest::Accessible sheet = libreofficetest::findTable(window);
    g_object_unref(window);
    ASSERT_TRUE(sheet) << "no table on the accessibility bus";
    EXPECT_TRUE(libreofficetest::waitFor([&] { return libreofficetest::cellText(sheet, 0, 0) == "42"; }, 10))
        << "the typed keys did not reach the sheet: A1 holds \"" << libreofficetest::cellText(sheet, 0, 0) << "\"";
    const stepstest::Accessible bar = stepstest::findObject(calc, "menu bar", "", 400);
    ASSERT_TRUE(bar);
    EXPECT_FALSE(stepstest::isFocused(bar)) << "the menu bar still holds the keyboard";
}

}  // namespace
