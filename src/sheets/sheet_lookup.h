// Look-ups the handlers share: a sheet of a workbook by its name, a column
// of a table by its heading.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/workbook.h"
#include "host/worksheet.h"

namespace kelv::sheets {

// True when a sheet's Name equals `name` exactly (case-sensitive); stops at
// the first match. False for an empty collection.
bool SheetExists(host::Worksheets sheets, std::string_view name);

// The leftmost column from `first` whose row-1 cell equals `header`
// exactly, looking across the current region of (1, first) and one column
// past it; 0 when there is none.
int32_t FindHeaderColumn(host::Worksheet& sheet, int32_t first, std::string_view header);

}  // namespace kelv::sheets
