// The cells of a table that a person sees, found by position, for tables too big to be asked for their
// children (see kMostChildrenListed in atspi_reads.h).

#include <algorithm>

#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"

namespace platform::linux_desktop {
namespace {

struct Cell {
    int row;
    int column;
};

// The row and column of the cell of `table` under the screen point (x, y), or nothing.
std::optional<Cell> cellAt(AtspiAccessible* object, AtspiComponent* component, AtspiTable* table, int x, int y) {
    const auto hit = atspiCall(
        object,
        [&](GError** error) {
            return atspi_component_get_accessible_at_point(component, x, y, ATSPI_COORD_TYPE_SCREEN, error);
        },
        [](AtspiAccessible* found) { return found == nullptr; });
    if (!hit) return std::nullopt;
    const auto index = atspiCall(
        *hit, [&](GError** error) { return atspi_accessible_get_index_in_parent(*hit, error); },
        [](gint n) { return n < 0; });
    g_object_unref(*hit);
    if (!index) return std::nullopt;
    const auto row = atspiCall(
        object, [&](GError** error) { return atspi_table_get_row_at_index(table, *index, error); },
        [](gint n) { return n < 0; });
    const auto column = atspiCall(
        object, [&](GError** error) { return atspi_table_get_column_at_index(table, *index, error); },
        [](gint n) { return n < 0; });
    if (!row || !column) return std::nullopt;
    return Cell{*row, *column};
}

}  // namespace

std::vector<AtspiAccessible*> visibleCellsByPosition(AtspiAccessible* object) {
    std::vector<AtspiAccessible*> cells;
    const auto extents = readExtents(object);
    if (!extents || !extents->position || extents->size.width < 2 || extents->size.height < 2) return cells;
    AtspiTable* table = atspiInterface(object, atspi_accessible_get_table_iface);
    if (!table) return cells;
    AtspiComponent* component = atspiInterface(object, atspi_accessible_get_component_iface);
    if (!component) {
        g_object_unref(table);
        return cells;
    }
    // One pixel inside the corners: the table's own edge may belong to its neighbour.
    const int left = static_cast<int>(extents->position->x) + 1;
    const int top = static_cast<int>(extents->position->y) + 1;
    const int right = static_cast<int>(extents->position->x + extents->size.width) - 2;
    const int bottom = static_cast<int>(extents->position->y + extents->size.height) - 2;
    const std::optional<Cell> first = cellAt(object, component, table, left, top);
    std::optional<Cell> last = cellAt(object, component, table, right, bottom);
    if (first && !last) {
        // A short table leaves its bottom-right corner empty: its last row and column are the bounds.
        const auto rows = atspiCall(
            object, [&](GError** error) { return atspi_table_get_n_rows(table, error); },
            [](gint n) { return n <= 0; });
        const auto columns = atspiCall(
            object, [&](GError** error) { return atspi_table_get_n_columns(table, error); },
            [](gint n) { return n <= 0; });
        if (rows && columns) last = Cell{*rows - 1, *columns - 1};
    }
    if (first && last) {
        for (int row = first->row; row <= last->row; ++row) {
            for (int column = first->column; column <= last->column; ++column) {
                if (static_cast<int>(cells.size()) >= kMostVisibleChildrenRead) break;
                const auto cell = atspiCall(
                    object, [&](GError** error) { return atspi_table_get_accessible_at(table, row, column, error); },
                    [](AtspiAccessible* found) { return found == nullptr; });
                if (cell) cells.push_back(*cell);
                else if (!detail::mayCall(object)) break;
            }
        }
    }
    g_object_unref(component);
    g_object_unref(table);
    return cells;
}

}  // namespace platform::linux_desktop
