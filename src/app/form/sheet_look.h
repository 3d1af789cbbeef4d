// The screen geometry of a sheet: rows and columns in whole pixels, at the
// zoom the person chose and with the column widths they dragged. How a cell
// itself looks (its text, fonts, colours, borders) is drawn by print/'s cell
// painter, the same on screen and paper.
#pragma once

#include <cstdint>
#include <map>

#include "spreadsheet/geometry.h"
#include "spreadsheet/model.h"

namespace kelv::form {

// Cumulative pixel offsets of rows or columns: offset(i) is where line i
// (1-based) starts. The sheet geometry's track, in whole pixels.
using Axis = spreadsheet::Track;

// Row and column geometry of a sheet in pixels at 100 %, covering at least
// the given number of rows and columns.
Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows);
Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px);

// Sizes the person gave lines on screen, in pixels at 100 %, by line. They
// change only the view, never the workbook.
using LineSizes = std::map<int32_t, int32_t>;

// `axis` as the screen shows it: the person's sizes in place of the file's,
// then every line (the default one too) scaled by `zoom` and rounded to
// whole pixels, so that lines laid end to end meet without gaps. Hidden
// lines stay hidden.
Axis on_screen(const Axis& axis, const LineSizes& sizes, double zoom);

// The zoom steps the view moves through, 25 % to 400 %.
inline constexpr double kMinZoom = 0.25;
inline constexpr double kMaxZoom = 4.0;
// The next step above or below `zoom` (which need not be a step itself);
// `zoom` at the end of the range.
double zoom_in(double zoom);
double zoom_out(double zoom);

}  // namespace kelv::form
