// The click on a data workbook: opening it and readying its two sheets.
#pragma once

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::data {

// LtbBiaoClick: opens (or activates) the workbook chosen in LtbBiao, checks
// for both sheets, tidies their header rows, fills the column lists, shows
// the data-source sheet with row 1 frozen and enables the two command
// buttons. A file the host cannot read ends in the error box naming the
// file, with DataBookName and every workbook left as they were.
void OpenDataWorkbook(component::Component& self, host::Application& EA, host::Form& UF);

}  // namespace kelv::data
