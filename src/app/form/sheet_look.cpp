#include "app/form/sheet_look.h"

#include <algorithm>
#include <cmath>

#include "spreadsheet/geometry.h"

namespace kelv::form {

int column_pixels(double width_chars, int32_t digit_px) {
  return spreadsheet::column_width_pixels(width_chars, digit_px);
}

Axis::Axis(std::vector<int> sizes, int default_size)
    : sizes_(std::move(sizes)), default_size_(default_size) {
  starts_.reserve(sizes_.size() + 1);
  for (int s : sizes_) starts_.push_back(starts_.back() + s);
}

int64_t Axis::offset(int32_t line) const {
  if (line <= 1) return 0;
  const int32_t i = line - 1;
  if (i <= stored()) return starts_[i];
  return extent() + static_cast<int64_t>(i - stored()) * default_size_;
}

int Axis::size(int32_t line) const {
  return line >= 1 && line <= stored() ? sizes_[line - 1] : default_size_;
}

int32_t Axis::line_at(int64_t p) const {
  if (p < 0) return 1;
  if (p >= extent()) {
    if (default_size_ <= 0) return stored();
    return stored() + 1 + static_cast<int32_t>((p - extent()) / default_size_);
  }
  // The last start not after p, skipping zero-sized (hidden) lines.
  auto it = std::upper_bound(starts_.begin(), starts_.end(), p);
  return static_cast<int32_t>(it - starts_.begin());
}

Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows) {
  const int def = static_cast<int>(std::lround(sheet.default_row_height * kPixelsPerPoint));
  std::vector<int> sizes(static_cast<size_t>(std::max(rows, 0)), def);
  for (int32_t r = 1; r <= rows && r <= static_cast<int32_t>(sheet.rows.size()); ++r) {
    const spreadsheet::Row& row = sheet.rows[r - 1];
    if (row.hidden)
      sizes[r - 1] = 0;
    else if (row.height >= 0)
      sizes[r - 1] = static_cast<int>(std::lround(row.height * kPixelsPerPoint));
  }
  return Axis(std::move(sizes), def);
}

Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px) {
  const int def = column_pixels(sheet.default_column_width, digit_px);
  std::vector<int> sizes(static_cast<size_t>(std::max(columns, 0)), def);
  for (const auto& [c, info] : sheet.columns) {
    if (c < 1 || c > columns) continue;
    if (info.hidden)
      sizes[c - 1] = 0;
    else if (info.width >= 0)
      sizes[c - 1] = column_pixels(info.width, digit_px);
  }
  return Axis(std::move(sizes), def);
}

QString column_letters(int32_t column) {
  QString s;
  while (column > 0) {
    const int32_t m = (column - 1) % 26;
    s.prepend(QChar('A' + m));
    column = (column - 1) / 26;
  }
  return s;
}

}  // namespace kelv::form
