#include "app/form/sheet_text.h"

#include <QStringList>
#include <algorithm>
#include <unordered_set>

#include "print/cell_format.h"
#include "spreadsheet/cells.h"

namespace kelv::form {
namespace {

bool covered_by_merge(const spreadsheet::Sheet& sheet, int32_t row, int32_t col) {
  for (const host::Rect& m : sheet.merges)
    if (m.contains(row, col) && (row != m.row1 || col != m.col1)) return true;
  return false;
}

// The cells of `area` that merged blocks cover (all of a block but its
// first cell), looked up in constant time: a generated sheet has thousands
// of blocks.
class Covered {
 public:
  Covered(const spreadsheet::Sheet& sheet, const host::Rect& area) {
    for (const host::Rect& m : sheet.merges) {
      if (!m.intersects(area)) continue;
      for (int32_t r = std::max(m.row1, area.row1); r <= std::min(m.row2, area.row2); ++r)
        for (int32_t c = std::max(m.col1, area.col1); c <= std::min(m.col2, area.col2); ++c)
          if (r != m.row1 || c != m.col1) cells_.insert(key(r, c));
    }
  }
  bool contains(int32_t row, int32_t col) const { return cells_.count(key(row, col)) > 0; }

 private:
  static int64_t key(int32_t row, int32_t col) { return (int64_t{row} << 16) | col; }
  std::unordered_set<int64_t> cells_;
};

QString text_of(const spreadsheet::Workbook& book, const spreadsheet::Cell& cell) {
  if (!spreadsheet::cells::has_value(cell)) return {};
  const spreadsheet::Style& style =
      book.styles.get(cell.style < book.styles.size() ? cell.style : 0);
  return QString::fromStdString(print::display_text(cell, style));
}

// Case and full-width forms folded away: "ＡＢｃ１" matches "abc1".
QString folded(const QString& s) {
  return s.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QString clipboard_field(const QString& text) {
  if (!text.contains('\t') && !text.contains('\n') && !text.contains('\r') && !text.startsWith('"'))
    return text;
  QString quoted = text;
  quoted.replace('"', "\"\"");
  return '"' + quoted + '"';
}

}  // namespace

QString shown_text(const spreadsheet::Workbook& book, const spreadsheet::Sheet& sheet, int32_t row,
                   int32_t col) {
  const spreadsheet::Cell* cell = spreadsheet::cells::find(sheet, row, col);
  if (cell == nullptr || covered_by_merge(sheet, row, col)) return {};
  return text_of(book, *cell);
}

int32_t last_used_row(const spreadsheet::Sheet& sheet) {
  int32_t last = 0;
  for (int32_t r = static_cast<int32_t>(sheet.rows.size()); r >= 1; --r) {
    const auto& cells = sheet.rows[static_cast<size_t>(r - 1)].cells;
    if (std::any_of(cells.begin(), cells.end(), spreadsheet::cells::has_value)) {
      last = r;
      break;
    }
  }
  for (const host::Rect& m : sheet.merges) last = std::max(last, m.row2);
  return last;
}

int32_t last_used_column(const spreadsheet::Sheet& sheet) {
  int32_t last = 0;
  for (const auto& row : sheet.rows)
    for (auto it = row.cells.rbegin(); it != row.cells.rend(); ++it)
      if (spreadsheet::cells::has_value(*it)) {
        last = std::max(last, it->col);
        break;
      }
  for (const host::Rect& m : sheet.merges) last = std::max(last, m.col2);
  return last;
}

QString copy_text(const spreadsheet::Workbook& book, const spreadsheet::Sheet& sheet,
                  const host::Rect& area) {
  const int32_t last_row = std::min(area.row2, last_used_row(sheet));
  const int32_t last_col = std::min(area.col2, last_used_column(sheet));
  const Covered covered(sheet, {area.row1, area.col1, last_row, last_col});
  QStringList lines;
  for (int32_t r = area.row1; r <= last_row; ++r) {
    QStringList fields;
    for (int32_t c = area.col1; c <= last_col; ++c) {
      const spreadsheet::Cell* cell = spreadsheet::cells::find(sheet, r, c);
      fields << (cell == nullptr || covered.contains(r, c) ? QString()
                                                           : clipboard_field(text_of(book, *cell)));
    }
    lines << fields.join('\t');
  }
  return lines.join('\n');
}

std::vector<CellPlace> find_cells(const spreadsheet::Workbook& book,
                                  const spreadsheet::Sheet& sheet, const QString& needle) {
  std::vector<CellPlace> found;
  const QString wanted = folded(needle);
  if (wanted.isEmpty()) return found;
  for (int32_t r = 1; r <= static_cast<int32_t>(sheet.rows.size()); ++r) {
    const spreadsheet::Row& row = sheet.rows[static_cast<size_t>(r - 1)];
    if (row.hidden) continue;
    for (const spreadsheet::Cell& cell : row.cells) {
      const auto column = sheet.columns.find(cell.col);
      if (column != sheet.columns.end() && column->second.hidden) continue;
      // Blocks' covered cells rarely hold text: asked only of a match.
      if (folded(text_of(book, cell)).contains(wanted) && !covered_by_merge(sheet, r, cell.col))
        found.push_back({r, cell.col});
    }
  }
  return found;
}

}  // namespace kelv::form
