// Sheet geometry in points, as pictures are anchored: column widths from
// character units through the default font's maximum digit width, row
// heights as stored, hidden rows and columns counting 0.
#pragma once

#include <cstdint>
#include <vector>

#include "spreadsheet/geometry.h"
#include "spreadsheet/model.h"

namespace kelv::xlsx {

class SheetGeometry {
 public:
  SheetGeometry(const spreadsheet::Sheet& sheet, int32_t max_digit_width);
  double column_width(int32_t col) const;  // points
  double row_height(int32_t row) const;    // points
  double column_left(int32_t col);         // points from the sheet's left edge
  double row_top(int32_t row);

  // The cell edge at or before a position, and the distance past it:
  // the column (1-based) and offset in points.
  void locate_column(double left, int32_t* col, double* offset);
  void locate_row(double top, int32_t* row, double* offset);

 private:
  const spreadsheet::Sheet& sheet_;
  int32_t mdw_;
  std::vector<double> col_left_{0}, row_top_{0};  // [i] = edge before column/row i+1
};

}  // namespace kelv::xlsx
