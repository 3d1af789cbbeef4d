// The screen geometry of a sheet: rows and columns in whole pixels. How a cell itself looks (its
// text, fonts, colours, borders) is drawn by print/'s cell painter, the same on screen and paper.
#pragma once

#include <cstdint>

#include "spreadsheet/geometry.h"
#include "spreadsheet/model.h"

namespace kelv::form {

// Cumulative pixel offsets of rows or columns: offset(i) is where line i
// (1-based) starts. The sheet geometry's track, in whole pixels.
using Axis = spreadsheet::Track;

// Row and column geometry of a sheet in pixels, covering at least the
// given number of rows and columns.
Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows);
Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px);

}  // namespace kelv::form
