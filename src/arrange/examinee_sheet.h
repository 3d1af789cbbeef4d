// Helpers the assignment runs on the examinee sheet: header lookup, random
// row order and the school, grade and class counts. None catches failures.
#pragma once

#include <cstdint>
#include <string_view>

#include "component/component.h"
#include "data/examinee_sheet.h"
#include "host/worksheet.h"

namespace kelv::arrange {

// The leftmost column from `first` whose row-1 cell equals `header`
// exactly, looking across the current region of (1, first) and one column
// past it; 0 when there is none.
int32_t FindHeaderColumn(host::Worksheet& sheet, int32_t first, std::string_view header);

// Puts the rows below the header of the A1 table into random order: a key
// column "sj" at the right edge gets whole numbers 1..n drawn after seeding
// the generator, the table is sorted by it, and the column is cleared.
void ShuffleRows(component::Component& self, host::Worksheet& sheet);

// Sorts the table by the `group` column and writes, into the `count`
// column (found, or appended at the right edge), how many rows of the whole
// column share each row's group value, as plain numbers for rows 2..rows.
// Filling stops at the first row whose count comes out 0. False, with
// nothing changed, when there is no `group` column.
bool AddGroupCounts(host::Worksheet& sheet, int32_t rows, std::string_view group,
                    std::string_view count);
inline bool AddGroupCounts(host::Worksheet& sheet, int32_t rows, const data::GroupCount& counted) {
  return AddGroupCounts(sheet, rows, counted.group, counted.count);
}

}  // namespace kelv::arrange
