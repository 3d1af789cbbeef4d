#include "xlsx/geometry.h"

#include <algorithm>
#include <cmath>

#include "host/constants.h"
#include "spreadsheet/geometry.h"

namespace kelv::xlsx {

SheetGeometry::SheetGeometry(const spreadsheet::Sheet& sheet, int32_t max_digit_width)
    : sheet_(sheet), mdw_(max_digit_width > 0 ? max_digit_width : 7) {}

double SheetGeometry::column_width(int32_t col) const {
  auto it = sheet_.columns.find(col);
  double w = sheet_.default_column_width;
  if (it != sheet_.columns.end()) {
    if (it->second.hidden) return 0;
    if (it->second.width >= 0) w = it->second.width;
  }
  return spreadsheet::column_width_points(w, mdw_);
}

double SheetGeometry::row_height(int32_t row) const {
  if (row >= 1 && static_cast<size_t>(row) <= sheet_.rows.size()) {
    const spreadsheet::Row& r = sheet_.rows[static_cast<size_t>(row - 1)];
    if (r.hidden) return 0;
    if (r.height >= 0) return r.height;
  }
  return sheet_.default_row_height;
}

double SheetGeometry::column_left(int32_t col) {
  col = std::clamp(col, 1, host::kMaxColumns + 1);
  while (static_cast<int32_t>(col_left_.size()) < col) {
    const auto c = static_cast<int32_t>(col_left_.size());
    col_left_.push_back(col_left_.back() + column_width(c));
  }
  return col_left_[static_cast<size_t>(col - 1)];
}

double SheetGeometry::row_top(int32_t row) {
  row = std::clamp(row, 1, host::kMaxRows + 1);
  while (static_cast<int32_t>(row_top_.size()) < row) {
    const auto r = static_cast<int32_t>(row_top_.size());
    row_top_.push_back(row_top_.back() + row_height(r));
  }
  return row_top_[static_cast<size_t>(row - 1)];
}

void SheetGeometry::locate_column(double left, int32_t* col, double* offset) {
  int32_t c = 1;
  while (c < host::kMaxColumns && column_left(c + 1) <= left) ++c;
  *col = c;
  *offset = std::max(0.0, left - column_left(c));
}

void SheetGeometry::locate_row(double top, int32_t* row, double* offset) {
  // Rows can be many: search the cumulative edges, extending them as needed.
  int32_t hi = 1;
  while (hi < host::kMaxRows && row_top(hi) <= top) hi = std::min(hi * 2, host::kMaxRows);
  int32_t lo = 1;  // row_top(lo) <= top
  while (lo + 1 < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (row_top(mid) <= top) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  if (row_top(hi) <= top) lo = hi;
  *row = lo;
  *offset = std::max(0.0, top - row_top(lo));
}

}  // namespace kelv::xlsx
