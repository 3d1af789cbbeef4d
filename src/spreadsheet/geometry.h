// Column widths: character units of the workbook's default font to pixels
// and points. One formula for the engine, the file layer and the form's view,
// so pictures placed by one line up with cells drawn by another.
#pragma once

#include <cmath>
#include <cstdint>

namespace kelv::spreadsheet {

// Whole pixels at 96 dpi: trunc(((256 w + trunc(128 / d)) / 256) d), with d
// the default font's maximum digit width in pixels (7 when unknown).
inline int32_t column_width_pixels(double width_chars, int32_t max_digit_width) {
  if (width_chars <= 0) return 0;
  const double d = max_digit_width > 0 ? max_digit_width : 7;
  return static_cast<int32_t>(std::trunc(((256 * width_chars + std::trunc(128 / d)) / 256) * d));
}

inline double column_width_points(double width_chars, int32_t max_digit_width) {
  return column_width_pixels(width_chars, max_digit_width) * 0.75;
}

}  // namespace kelv::spreadsheet
