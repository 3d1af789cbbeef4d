// The sort and page-change column lists (CmbPaiXv, CmbHuanYe), which opening
// a data workbook, selecting a template and changing the data source refill.
#pragma once

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::sheets {

// Refills both combo boxes with "无" and the header row of the data-source
// sheet (考生表 when use_examinee_sheet, else 考场表), keeping the text each
// box showed. Does nothing before a data workbook has been opened. Every
// statement ignores its own failure, so this never reaches the error box.
void FillColumnLists(component::Component& self, host::Application& EA, host::Form& UF,
                     bool use_examinee_sheet);

}  // namespace kelv::sheets
