// Formula text: R1C1 to A1 conversion, moving relative references, and the
// one formula the engine evaluates itself, COUNTIF over a range with a
// single-cell criterion. Formulas are kept as A1 text without "=".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/rect.h"

namespace kelv::spreadsheet {

std::string column_letters(int32_t column);             // 1 -> "A", 28 -> "AB"
std::string cell_address(int32_t row, int32_t column);  // "B3"
std::string rect_address(const host::Rect& r);          // "B3" or "B3:D5", "A:A", "3:3"

// The A1 text (no "=") of an R1C1 formula written at (row, column).
// Throws HostError 1004 for a reference outside the sheet.
std::string r1c1_to_a1(std::string_view formula, int32_t row, int32_t column);

// Moves the relative references of an A1 formula by (rows, columns), as a
// paste does; references pushed off the sheet become #REF!.
std::string move_references(std::string_view a1, int32_t rows, int32_t columns);

// The sheet prefix of a reference ("Sheet1!", "'考生 表'!"), quoted when
// the name needs it.
std::string sheet_prefix(std::string_view sheet_name);
// Points references to sheet `from` at sheet `to` ("'MBB'!$A$1" becomes
// "'MBB (2)'!$A$1"); other text is left alone.
std::string rename_sheet_references(std::string_view formula, std::string_view from,
                                    std::string_view to);
// References to a deleted sheet become #REF! ("MBB!$A$1" becomes "#REF!$A$1").
std::string drop_sheet_references(std::string_view formula, std::string_view gone);

// COUNTIF(range, cell) in A1 form at a known cell.
struct CountIf {
  host::Rect range;
  int32_t criterion_row = 0, criterion_column = 0;
};
std::optional<CountIf> parse_countif(std::string_view a1);

}  // namespace kelv::spreadsheet
