// A1 notation: column letters, cells and ranges with their "$" marks, whole
// rows and columns, lists of ranges and sheet-qualified references. Rows run
// from 1 to 1048576 and columns from A (1) to XFD (16384); text naming
// anything beyond is not a reference. Moving the references of a formula is
// in spreadsheet/references.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/rect.h"

namespace kelv::spreadsheet {

// --- Columns ----------------------------------------------------------------------

// 1 -> "A", 28 -> "AB", 16384 -> "XFD"; nothing for a column below 1.
void append_column_letters(std::string& out, int32_t column);
// The same written at p, which has room for them (three up to XFD, seven
// for any column); returns their end.
char* put_column_letters(char* p, int32_t column);
std::string column_letters(int32_t column);
// "A" -> 1, "xfd" -> 16384; 0 for anything else (no letters, other
// characters, or a column past XFD).
int32_t column_number(std::string_view letters);

// --- Writing ----------------------------------------------------------------------

std::string cell_address(int32_t row, int32_t column);  // "B3"
// "B3" for one cell, else "B3:D5", whole rows and columns included ("A1:A1048576").
std::string area_address(const host::Rect& r);
// As area_address, but whole columns as "A:C" and whole rows as "3:5".
std::string rect_address(const host::Rect& r);
// "$B$3" or "$B$3:$D$5".
std::string absolute_address(const host::Rect& r);
// Areas separated by spaces ("C4:D5 A1"), as a selection lists them.
std::string area_list_address(const std::vector<host::Rect>& rects);

// --- Reading ----------------------------------------------------------------------

struct CellRef {
  int32_t row = 0, column = 0;
  bool row_absolute = false, column_absolute = false;
};

// The whole text is one cell ("B7", "$B$7", "b$7") on the sheet.
bool parse_cell(std::string_view text, CellRef* out);
bool parse_cell(std::string_view text, int32_t* row, int32_t* column);
// One side of a range of whole columns ("B", "$B" of "B:$D") or rows ("3",
// "$3" of "3:$5").
struct LineRef {
  int32_t n = 0;
  bool absolute = false;
};
bool parse_column_line(std::string_view text, LineRef* out);
bool parse_row_line(std::string_view text, LineRef* out);
// "A1", "C4:A1", "B:D", "$3:$5", in order (row1 <= row2, col1 <= col2).
bool parse_range(std::string_view text, host::Rect* out);
// Ranges separated by spaces; false when any of them is not one.
bool parse_range_list(std::string_view text, std::vector<host::Rect>* out);

// --- Sheets -----------------------------------------------------------------------

// The sheet prefix of a reference ("Sheet1!", "'考生 表'!"), quoted when the
// name needs it (anything but letters, digits, "_" and ".", a leading digit,
// or a name that reads as a cell such as "A1" or "R1C1"); quotes inside
// are doubled.
std::string sheet_prefix(std::string_view sheet_name);

struct SheetRange {
  std::string sheet;  // empty when the reference names no sheet
  host::Rect rect;
};
// "'My ''x'' Sheet'!$A$1:$B$2" (sheet "My 'x' Sheet"), "Sheet1!3:5", "A1".
// Spaces around the reference are ignored.
bool parse_sheet_range(std::string_view text, SheetRange* out);
// The references of a list such as a defined name's "'a,b'!A1,Sheet1!B2",
// split at the commas outside quoted sheet names.
std::vector<std::string_view> split_references(std::string_view text);

}  // namespace kelv::spreadsheet
