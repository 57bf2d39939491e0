#pragma once
// Reading Calc's sheet from outside, for the desktop tests: its table found without listing the children of
// any big object, a cell's text read through the table, and a wait for a condition.

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <atspi/atspi.h>

#include "atspi_reader.h"

namespace libreofficetest {

// The sheet's table, found depth first without asking any object of more than a few hundred children for
// them (the table itself is one).
inline stepstest::Accessible findTable(AtspiAccessible* object, int depth = 0) {
    if (depth > 14) return stepstest::Accessible();
    if (atspi_accessible_get_role(object, nullptr) == ATSPI_ROLE_TABLE)
        return stepstest::Accessible(static_cast<AtspiAccessible*>(g_object_ref(object)));
    const int count = atspi_accessible_get_child_count(object, nullptr);
    if (count < 0 || count > 300) return stepstest::Accessible();
    for (int index = 0; index < count; ++index) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(object, index, nullptr);
        if (!child) continue;
        stepstest::Accessible found = findTable(child, depth + 1);
        g_object_unref(child);
        if (found) return found;
    }
    return stepstest::Accessible();
}

// The text of the sheet's cell at `row`, `column`, read through the table (never its child list).
inline std::string cellText(const stepstest::Accessible& table, int row, int column) {
    AtspiTable* cells = atspi_accessible_get_table_iface(table.get());
    if (!cells) return "";
    stepstest::Accessible cell(atspi_table_get_accessible_at(cells, row, column, nullptr));
    g_object_unref(cells);
    return cell ? stepstest::textOf(cell).value_or("") : "";
}

/// Polls `condition` every 0.1 s until it holds or `timeoutSeconds` pass.
inline bool waitFor(const std::function<bool()>& condition, double timeoutSeconds) {
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    while (elapsed() < timeoutSeconds) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

}  // namespace libreofficetest
