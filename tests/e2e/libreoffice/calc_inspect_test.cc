// LibreOffice Calc 7.4 (Debian's libreoffice-calc with the GTK 3 plugin) launched cold by an inspect that
// walks twelve levels deep: its sheet's table reports 2,147,483,647 cells, which Calc builds on its main
// thread when a client asks for the table's children. The inspect must describe the window (the menu bar, the
// sheet, the cells on screen) and leave Calc as it was: still answering on the accessibility bus, idle, and
// taking typed keys, which is checked from outside (libatspi directly, /proc and xdotool).

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <thread>

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
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Processor time the process has used, in clock ticks (user and system), from /proc.
long cpuTicks(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The fields after the command's closing parenthesis: state is the 3rd field, utime the 14th.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int number = 3; rest >> field; ++number) {
        if (number == 14) utime = std::stol(field);
        if (number == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

// Whether the process spends less than a fifth of a core over one second, within `timeoutSeconds`: a Calc
// that builds two billion cells spends a whole core for good.
bool becomesIdle(int pid, double timeoutSeconds) {
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    const auto start = Clock::now();
    while (secondsSince(start) < timeoutSeconds) {
        const long before = cpuTicks(pid);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (cpuTicks(pid) - before < ticksPerSecond / 5) return true;
    }
    return false;
}

TEST(CalcInspectedDeep, TheDumpShowsTheMenuBarAndTheSheetAndCalcStillTakesKeys) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/libreoffice-calc.desktop"))
        << "install libreoffice-calc and libreoffice-gtk3 (scripts/setup)";
    libreofficetest::LibreOfficeHome home;
    const std::string job = home.path() + "/inspect.json";
    std::ofstream(job) << json{{"app", "LibreOffice Calc"}, {"maxNodes", 200}, {"maxDepth", 12}}.dump();
    const auto started = Clock::now();
    const support::ToolRun run = support::runTool({"inspect", job}, home.options(90));
    std::cout << "Calc launched cold and inspected twelve levels deep in " << secondsSince(started) << " s\n";
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const json result = run.last();
    const int pid = result["pid"].get<int>();
    ASSERT_GT(pid, 0);

    // The menu bar and the window's title, which a Calc that stopped answering gives as [] and "".
    EXPECT_GE(result["menuBar"].size(), 10u) << result["menuBar"];
    EXPECT_NE(result["menuBar"].dump().find("\"Data\""), std::string::npos) << result["menuBar"];
    EXPECT_NE(result["window"]["title"].get<std::string>().find("LibreOffice Calc"), std::string::npos);
    // The sheet's table is listed itself, with the number of cells left out, and the cells on screen below it.
    const json& nodes = result["nodes"];
    size_t tableAt = nodes.size();
    for (size_t i = 0; i < nodes.size() && tableAt == nodes.size(); ++i)
        if (nodes[i]["role"] == "AXTable") tableAt = i;
    ASSERT_LT(tableAt, nodes.size()) << "no table in the dump: " << nodes.dump();
    const json& table = nodes[tableAt];
    EXPECT_GT(table.value("childrenSkipped", 0L), 2'000'000'000L) << table;
    ASSERT_LT(tableAt + 1, nodes.size());
    EXPECT_EQ(nodes[tableAt + 1]["role"], "AXCell");
    EXPECT_EQ(nodes[tableAt + 1]["depth"], table["depth"].get<int>() + 1);

    // Read from outside: Calc answers on the accessibility bus, comes to rest, and a key typed into it reaches
    // the sheet (the selected cell, A1 of a new document).
    const stepstest::Accessible calc = stepstest::applicationOf(pid, 10);
    ASSERT_TRUE(calc) << "Calc no longer answers on the accessibility bus";
    EXPECT_GE(atspi_accessible_get_child_count(calc.get(), nullptr), 1);
    EXPECT_TRUE(becomesIdle(pid, 20)) << "Calc keeps a core busy after the inspect";
    AtspiAccessible* window = atspi_accessible_get_child_at_index(calc.get(), 0, nullptr);
    ASSERT_NE(window, nullptr);
    const stepstest::Accessible sheet = libreofficetest::findTable(window);
    g_object_unref(window);
    ASSERT_TRUE(sheet) << "no table on the accessibility bus";
    support::runProgram({"xdotool", "type", "--delay", "50", "42"});
    support::runProgram({"xdotool", "key", "Return"});
    EXPECT_TRUE(libreofficetest::waitFor([&] { return libreofficetest::cellText(sheet, 0, 0) == "42"; }, 10))
        << "the typed keys did not reach the sheet: A1 holds \"" << libreofficetest::cellText(sheet, 0, 0) << "\"";
}

}  // namespace
