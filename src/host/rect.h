// A rectangle of cells, 1-based and inclusive on both ends.
#pragma once

#include <cstdint>

#include "host/constants.h"

namespace kelv::host {

struct Rect {
  int32_t row1 = 1, col1 = 1, row2 = 1, col2 = 1;

  static Rect cell(int32_t r, int32_t c) { return {r, c, r, c}; }
  static Rect whole_row(int32_t r) { return {r, 1, r, kMaxColumns}; }
  static Rect whole_column(int32_t c) { return {1, c, kMaxRows, c}; }

  int32_t rows() const { return row2 - row1 + 1; }
  int32_t columns() const { return col2 - col1 + 1; }
  bool is_whole_rows() const { return col1 == 1 && col2 == kMaxColumns; }
  bool is_whole_columns() const { return row1 == 1 && row2 == kMaxRows; }
  bool contains(int32_t r, int32_t c) const {
    return r >= row1 && r <= row2 && c >= col1 && c <= col2;
  }
  bool intersects(const Rect& o) const {
    return row1 <= o.row2 && o.row1 <= row2 && col1 <= o.col2 && o.col1 <= col2;
  }
  bool operator==(const Rect&) const = default;
};

}  // namespace kelv::host
