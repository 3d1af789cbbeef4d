// Whether a workbook has a sheet of a given name.
#pragma once

#include <string_view>

#include "host/workbook.h"

namespace kelv::data {

// True when a sheet's Name equals `name` exactly (case-sensitive); stops at
// the first match. False for an empty collection.
bool SheetExists(host::Worksheets sheets, std::string_view name);

}  // namespace kelv::data
