// Texts that print cut off: wider than the cell (or merged block) they
// stand in, with nothing to let them show whole. Cells that wrap or shrink
// to fit never are; text that runs on into empty cells to its right is not
// either. Measured as the page layout measures texts, without fonts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::print {

struct CutText {
  std::string sheet;
  std::string cell;  // "B3", the first cell of a merged block
  std::string text;  // as it shows
};

// The cut-off texts of one sheet, row by row.
std::vector<CutText> texts_wider_than_cells(const spreadsheet::Workbook& book, int32_t sheet_index);

}  // namespace kelv::print
