// The data workbook: its two sheets, where it lives, and opening it.
#pragma once

#include <cstdint>

#include "component/component.h"
#include "data/examinee_sheet.h"
#include "data/room_sheet.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::data {

// The data folder, joined directly to the host workbook's Path.
inline constexpr const char* kDataFolder = "\\数据\\";
// First column of the generation command's scratch copy of the data table.
inline constexpr int32_t kWorkColumn = 168;

// LtbBiaoClick: opens (or activates) the workbook chosen in LtbBiao, checks
// for both sheets, tidies their header rows, fills the column lists, shows
// the data-source sheet with row 1 frozen and enables the two command
// buttons. A file the host cannot read ends in the error box naming the
// file, with DataBookName and every workbook left as they were.
void OpenDataWorkbook(component::Component& self, host::Application& EA, host::Form& UF);

}  // namespace kelv::data
