// The screen geometry of a sheet: rows and columns in whole pixels, and
// column letters. How a cell itself looks (its text, fonts, colours,
// borders) is drawn by print/'s cell painter, the same on screen and paper.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::form {

// Points to screen pixels at 96 dpi.
inline constexpr double kPixelsPerPoint = 96.0 / 72.0;

// Column width in character units to pixels, for a font whose maximum digit
// width is `digit_px`: trunc(((256 w + trunc(128 / d)) / 256) d).
int column_pixels(double width_chars, int32_t digit_px);

// Cumulative pixel offsets of rows or columns: offset(i) is where line i
// (1-based) starts. Lines past the stored range take the default size.
class Axis {
 public:
  Axis() = default;
  // sizes[i] is the pixel size of line i + 1; default_size for the rest.
  Axis(std::vector<int> sizes, int default_size);
  int64_t offset(int32_t line) const;  // start of line (1-based)
  int size(int32_t line) const;
  // The line that covers pixel position p (p >= 0).
  int32_t line_at(int64_t p) const;
  int64_t extent() const { return starts_.back(); }  // end of the stored lines
  int32_t stored() const { return static_cast<int32_t>(sizes_.size()); }

 private:
  std::vector<int> sizes_;
  std::vector<int64_t> starts_{0};
  int default_size_ = 20;
};

// Row and column geometry of a sheet in pixels, covering at least the
// given number of rows and columns.
Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows);
Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px);

// Column letters: 1 -> "A", 27 -> "AA".
QString column_letters(int32_t column);

}  // namespace kelv::form
