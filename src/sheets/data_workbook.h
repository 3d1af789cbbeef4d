// Where data workbooks live beside the host workbook, and the columns of a
// data sheet the system keeps for itself. The two sheets of a data workbook
// are examinee_sheet.h and room_sheet.h.
#pragma once

#include <cstdint>

#include "sheets/workspace_names.h"

namespace kelv::sheets {

// First column of the generation command's scratch copy of the data table.
inline constexpr int32_t kWorkColumn = 168;

}  // namespace kelv::sheets
