// The screen geometry of a sheet: rows and columns in whole pixels. How a cell itself looks (its
// text, fonts, colours, borders) is drawn by print/'s cell painter, the same on screen and paper.
#pragma once

#include <cstdint>
#include <vector>

#include "print/page_layout.h"
#include "spreadsheet/model.h"

namespace kelv::form {

// Points to screen pixels at 96 dpi.
inline constexpr double kPixelsPerPoint = 96.0 / 72.0;

// Column width in character units to pixels, for a font whose maximum digit
// width is `digit_px`: trunc(((256 w + trunc(128 / d)) / 256) d).
int column_pixels(double width_chars, int32_t digit_px);

// Cumulative pixel offsets of rows or columns: offset(i) is where line i
// (1-based) starts. The page model's track, in whole pixels.
using Axis = print::Track;

// Row and column geometry of a sheet in pixels, covering at least the
// given number of rows and columns.
Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows);
Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px);

}  // namespace kelv::form
