#include "app/form/sheet_look.h"

#include <algorithm>
#include <cmath>

#include "spreadsheet/geometry.h"

namespace kelv::form {

int column_pixels(double width_chars, int32_t digit_px) {
  return spreadsheet::column_width_pixels(width_chars, digit_px);
}

namespace {

// The page model's track of a sheet in points, each line rounded to whole
// pixels.
Axis in_pixels(const print::Track& points, int32_t lines, double default_points) {
  std::vector<double> sizes(static_cast<size_t>(std::max(lines, 0)));
  for (int32_t i = 1; i <= lines; ++i)
    sizes[static_cast<size_t>(i - 1)] = std::lround(points.size(i) * kPixelsPerPoint);
  return Axis(std::move(sizes), std::lround(default_points * kPixelsPerPoint));
}

}  // namespace

Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows) {
  return in_pixels(print::row_track(sheet, rows), rows, sheet.default_row_height);
}

Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px) {
  return in_pixels(print::column_track(sheet, columns, digit_px), columns,
                   spreadsheet::column_width_points(sheet.default_column_width, digit_px));
}

}  // namespace kelv::form
