#include "print/cut_texts.h"

#include <map>
#include <utility>

#include "print/cell_format.h"
#include "print/page_layout.h"
#include "spreadsheet/a1.h"
#include "spreadsheet/cells.h"
#include "spreadsheet/geometry.h"

namespace kelv::print {

std::vector<CutText> texts_wider_than_cells(const spreadsheet::Workbook& book,
                                            int32_t sheet_index) {
  std::vector<CutText> out;
  if (sheet_index < 0 || static_cast<size_t>(sheet_index) >= book.sheets.size()) return out;
  const spreadsheet::Sheet& sheet = *book.sheets[static_cast<size_t>(sheet_index)];
  std::map<std::pair<int32_t, int32_t>, host::Rect> merged;
  for (const host::Rect& m : sheet.merges) merged.emplace(std::pair{m.row1, m.col1}, m);
  auto width_of = [&](int32_t first, int32_t last) {
    double w = 0;
    for (int32_t c = first; c <= last; ++c)
      w += spreadsheet::column_points(sheet, c, book.max_digit_width);
    return w;
  };
  for (size_t r = 0; r < sheet.rows.size(); ++r) {
    const spreadsheet::Row& row = sheet.rows[r];
    if (row.hidden) continue;
    const auto row_number = static_cast<int32_t>(r + 1);
    for (size_t k = 0; k < row.cells.size(); ++k) {
      const spreadsheet::Cell& cell = row.cells[k];
      if (!cell.value.is_text() || cell.value.as_text().empty()) continue;
      const spreadsheet::Style& style =
          book.styles.get(cell.style < book.styles.size() ? cell.style : 0);
      if (style.alignment.wrap_text || style.alignment.shrink_to_fit ||
          style.alignment.text_rotation != 0)
        continue;
      const std::string text = display_text(cell, style);
      const auto m = merged.find({row_number, cell.col});
      const int32_t last_col = m != merged.end() ? m->second.col2 : cell.col;
      const double room = width_of(cell.col, last_col);
      if (text_width(text, style) <= room + 0.01) continue;
      // A lone cell aligned left runs on into an empty neighbour.
      const std::string& h = style.alignment.horizontal;
      const bool runs_on = m == merged.end() && (h.empty() || h == "general" || h == "left");
      if (runs_on) {
        const bool next_empty = k + 1 >= row.cells.size() || row.cells[k + 1].col != cell.col + 1 ||
                                !spreadsheet::cells::has_value(row.cells[k + 1]);
        if (next_empty) continue;
      }
      out.push_back({sheet.name, spreadsheet::cell_address(row_number, cell.col), text});
    }
  }
  return out;
}

}  // namespace kelv::print
