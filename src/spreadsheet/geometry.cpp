#include "spreadsheet/geometry.h"

#include <algorithm>
#include <cmath>

#include "host/constants.h"

namespace kelv::spreadsheet {
namespace {

double digit_width(int32_t max_digit_width) {
  return max_digit_width > 0 ? max_digit_width : kDefaultDigitWidth;
}

}  // namespace

int32_t column_width_pixels(double width_chars, int32_t max_digit_width) {
  if (width_chars <= 0) return 0;
  const double d = digit_width(max_digit_width);
  return static_cast<int32_t>(std::trunc(((256 * width_chars + std::trunc(128 / d)) / 256) * d));
}

double column_width_points(double width_chars, int32_t max_digit_width) {
  return column_width_pixels(width_chars, max_digit_width) * kPointsPerPixel;
}

double standard_column_width(double base_digits, int32_t max_digit_width) {
  const double d = digit_width(max_digit_width);
  const double pixels = std::ceil(std::trunc(base_digits * d + 5) / 8) * 8;
  return std::trunc(pixels / d * 256) / 256;
}

double column_width_chars(const Sheet& sheet, int32_t col) {
  auto it = sheet.columns.find(col);
  if (it == sheet.columns.end()) return sheet.default_column_width;
  if (it->second.hidden) return 0;
  return it->second.width >= 0 ? it->second.width : sheet.default_column_width;
}

double column_points(const Sheet& sheet, int32_t col, int32_t max_digit_width) {
  return column_width_points(column_width_chars(sheet, col), max_digit_width);
}

double row_points(const Sheet& sheet, int32_t row) {
  if (row >= 1 && static_cast<size_t>(row) <= sheet.rows.size()) {
    const Row& r = sheet.rows[static_cast<size_t>(row - 1)];
    if (r.hidden) return 0;
    if (r.height >= 0) return r.height;
  }
  return sheet.default_row_height;
}

// --- Track ----------------------------------------------------------------------------

Track::Track(std::vector<double> sizes, double default_size)
    : sizes_(std::move(sizes)), default_size_(default_size) {
  starts_.reserve(sizes_.size() + 1);
  for (double s : sizes_) starts_.push_back(starts_.back() + s);
}

double Track::offset(int32_t line) const {
  if (line <= 1) return 0;
  const int32_t i = line - 1;
  if (i <= stored()) return starts_[static_cast<size_t>(i)];
  return starts_.back() + static_cast<double>(i - stored()) * default_size_;
}

double Track::size(int32_t line) const {
  return line >= 1 && line <= stored() ? sizes_[static_cast<size_t>(line - 1)] : default_size_;
}

int32_t Track::line_at(double p) const {
  if (p < 0) return 1;
  if (p >= starts_.back()) {
    if (default_size_ <= 0) return stored();
    return stored() + 1 + static_cast<int32_t>((p - starts_.back()) / default_size_);
  }
  auto it = std::upper_bound(starts_.begin(), starts_.end(), p);
  return static_cast<int32_t>(it - starts_.begin());
}

Track row_track(const Sheet& sheet, int32_t rows) {
  std::vector<double> sizes(static_cast<size_t>(std::max(rows, 0)), sheet.default_row_height);
  const int32_t stored = std::min(rows, static_cast<int32_t>(sheet.rows.size()));
  for (int32_t r = 1; r <= stored; ++r) sizes[static_cast<size_t>(r - 1)] = row_points(sheet, r);
  return Track(std::move(sizes), sheet.default_row_height);
}

Track column_track(const Sheet& sheet, int32_t columns, int32_t max_digit_width) {
  const double def = column_width_points(sheet.default_column_width, max_digit_width);
  std::vector<double> sizes(static_cast<size_t>(std::max(columns, 0)), def);
  // Only columns with an entry differ from the default.
  for (const auto& [c, info] : sheet.columns) {
    if (c < 1 || c > columns) continue;
    sizes[static_cast<size_t>(c - 1)] = column_points(sheet, c, max_digit_width);
  }
  return Track(std::move(sizes), def);
}

Track in_whole_pixels(const Track& points) {
  std::vector<double> sizes(static_cast<size_t>(points.stored()));
  for (int32_t i = 1; i <= points.stored(); ++i)
    sizes[static_cast<size_t>(i - 1)] = std::lround(points.size(i) * kPixelsPerPoint);
  return Track(std::move(sizes), std::lround(points.default_size() * kPixelsPerPoint));
}

// --- SheetEdges -----------------------------------------------------------------------

double SheetEdges::row_top(int32_t row) const {
  row = std::clamp(row, 1, host::kMaxRows + 1);
  const auto stored = static_cast<int32_t>(sheet_->rows.size());
  const int32_t want = std::min(row - 1, stored);
  if (row_top_.empty()) row_top_.push_back(0);
  while (static_cast<int32_t>(row_top_.size()) <= want) {
    const auto r = static_cast<int32_t>(row_top_.size());
    row_top_.push_back(row_top_.back() + row_points(*sheet_, r));
  }
  double top = row_top_[static_cast<size_t>(want)];
  if (row - 1 > stored) top += static_cast<double>(row - 1 - stored) * sheet_->default_row_height;
  return top;
}

double SheetEdges::column_left(int32_t col) const {
  col = std::clamp(col, 1, host::kMaxColumns + 1);
  const int32_t stored = sheet_->columns.empty() ? 0 : sheet_->columns.rbegin()->first;
  // Formats on whole columns add entries too: sum again whenever the
  // columns with an entry are no longer those summed.
  if (col_left_.size() != static_cast<size_t>(stored) + 1) {
    col_left_.resize(static_cast<size_t>(stored) + 1);
    col_left_[0] = 0;
    for (int32_t c = 1; c <= stored; ++c)
      col_left_[static_cast<size_t>(c)] =
          col_left_[static_cast<size_t>(c - 1)] + column_points(*sheet_, c, digit_width_);
  }
  double left = col_left_[static_cast<size_t>(std::min(col - 1, stored))];
  if (col - 1 > stored)
    left += (col - 1 - stored) * column_width_points(sheet_->default_column_width, digit_width_);
  return left;
}

void SheetEdges::locate_column(double left, int32_t* col, double* offset) const {
  int32_t c = 1;
  while (c < host::kMaxColumns && column_left(c + 1) <= left) ++c;
  *col = c;
  *offset = std::max(0.0, left - column_left(c));
}

void SheetEdges::locate_row(double top, int32_t* row, double* offset) const {
  // Rows can be many: search the edges, summing them as far as needed.
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

void SheetEdges::rows_changed(int32_t from) {
  if (row_top_.size() > static_cast<size_t>(std::max(from, 1)))
    row_top_.resize(static_cast<size_t>(std::max(from, 1)));
}

}  // namespace kelv::spreadsheet
