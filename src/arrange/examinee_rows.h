// Steps the assignment runs on the examinee sheet's rows: random row order
// and the school, grade and class counts. None catches failures.
#pragma once

#include <cstdint>
#include <string_view>

#include "component/component.h"
#include "host/worksheet.h"
#include "sheets/examinee_sheet.h"

namespace kelv::arrange {

// Puts the rows below the header of the A1 table into random order: a key
// column "sj" at the right edge gets whole numbers 1..n drawn after seeding
// the generator, the table is sorted by it, and the column is cleared.
void ShuffleRows(component::Component& self, host::Worksheet& sheet);

// Clears the rows an earlier run left at the bottom of the A1 table: when a
// run had more places than examinees it numbered the surplus places in the
// rows below them, so those rows hold values only in the columns a run
// writes (the seven assignment columns and the count columns). Left there,
// the next run would take them for examinees, shuffle them in among the
// real ones and count them. Rows holding anything else are examinees and
// stay; so does a table without any column a run writes.
void ClearLeftoverRows(host::Worksheet& sheet);

// Sorts the table by the `group` column and writes, into the `count`
// column (found, or appended at the right edge), how many rows of the whole
// column share each row's group value, as plain numbers for rows 2..rows.
// Filling stops at the first row whose count comes out 0. False, with
// nothing changed, when there is no `group` column.
bool AddGroupCounts(host::Worksheet& sheet, int32_t rows, std::string_view group,
                    std::string_view count);
inline bool AddGroupCounts(host::Worksheet& sheet, int32_t rows,
                           const sheets::GroupCount& counted) {
  return AddGroupCounts(sheet, rows, counted.group, counted.count);
}

}  // namespace kelv::arrange
