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

// The standard width of a column in the file's units, for `base_digits`
// digits: the digits and 5 pixels of margins, rounded up to a multiple of
// 8 pixels (8 digits of 7 pixels: 64 pixels, 9.140625).
inline double standard_column_width(double base_digits, int32_t max_digit_width) {
  const double d = max_digit_width > 0 ? max_digit_width : 7;
  const double pixels = std::ceil(std::trunc(base_digits * d + 5) / 8) * 8;
  return std::trunc(pixels / d * 256) / 256;
}

inline double column_width_points(double width_chars, int32_t max_digit_width) {
  return column_width_pixels(width_chars, max_digit_width) * 0.75;
}

}  // namespace kelv::spreadsheet
