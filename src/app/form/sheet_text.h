// What the view shows of a sheet's cells as text: the line above the grid,
// the tip under the mouse, the clipboard and find all read the text a cell
// shows through its number format, in full (2024010001, not the shortened
// form a narrow column draws).
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "host/rect.h"
#include "spreadsheet/model.h"

namespace kelv::form {

// The text cell (row, col) shows; a cell covered by a merged block shows
// nothing of its own (its block's first cell holds the text).
QString shown_text(const spreadsheet::Workbook& book, const spreadsheet::Sheet& sheet, int32_t row,
                   int32_t col);

// The last row and column holding a value or a merged block; 0 for an
// empty sheet.
int32_t last_used_row(const spreadsheet::Sheet& sheet);
int32_t last_used_column(const spreadsheet::Sheet& sheet);

// The cells of `area` as spreadsheet programs put them on the clipboard:
// rows on lines, cells separated by tabs, a text holding a tab, a line
// break or a leading quotation mark quoted with its quotation marks doubled.
// Rows and columns past the used ones are left out, so a whole column gives
// its cells, not a million empty lines. Hidden rows and columns are copied
// too, as those programs copy them.
QString copy_text(const spreadsheet::Workbook& book, const spreadsheet::Sheet& sheet,
                  const host::Rect& area);

struct CellPlace {
  int32_t row = 0, col = 0;
  bool operator==(const CellPlace&) const = default;
};

// Every visible cell whose text contains `needle`, ignoring case and the
// difference between full-width and half-width letters and digits, row by
// row. An empty needle finds nothing.
std::vector<CellPlace> find_cells(const spreadsheet::Workbook& book,
                                  const spreadsheet::Sheet& sheet, const QString& needle);

}  // namespace kelv::form
