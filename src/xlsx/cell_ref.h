// A1 references: cells, ranges, reference lists, and moving the relative
// references of a formula (shared formulas are stored once for a block).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/rect.h"

namespace kelv::xlsx {

// Column letters ("A", "XFD") for 1..16384.
void append_column_name(std::string& out, int32_t col);
std::string cell_name(int32_t row, int32_t col);
std::string range_name(const host::Rect& r);  // "A1" for one cell, else "A1:B2"
std::string range_list_name(const std::vector<host::Rect>& rects);  // space-separated

// Parses "B7" (a "$" before either part allowed). Row and column must lie
// on the sheet; false otherwise.
bool parse_cell(std::string_view s, int32_t* row, int32_t* col);
// Parses "A1:B2", "A1", "A:C" and "2:5".
bool parse_range(std::string_view s, host::Rect* out);
bool parse_range_list(std::string_view s, std::vector<host::Rect>* out);

// The formula with its relative references moved by (rows, cols), as a
// shared formula's text reads in a cell that far from its anchor. References
// that leave the sheet become #REF!.
std::string shift_formula(std::string_view formula, int32_t rows, int32_t cols);

}  // namespace kelv::xlsx
