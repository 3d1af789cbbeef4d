// Formula text: R1C1 to A1 conversion and the one formula the engine
// evaluates itself, COUNTIF over a range with a single-cell criterion.
// Formulas are kept as A1 text without "=" (spreadsheet/a1.h); their
// references move with spreadsheet/references.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/rect.h"

namespace kelv::spreadsheet {

// The A1 text (no "=") of an R1C1 formula written at (row, column).
// Throws HostError 1004 for a reference outside the sheet.
std::string r1c1_to_a1(std::string_view formula, int32_t row, int32_t column);

// COUNTIF(range, cell) in A1 form at a known cell.
struct CountIf {
  host::Rect range;
  int32_t criterion_row = 0, criterion_column = 0;
};
std::optional<CountIf> parse_countif(std::string_view a1);

}  // namespace kelv::spreadsheet
