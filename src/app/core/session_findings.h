// The session arrangement's check (场次表, 选考科目, rooms per 场次) as
// findings of the check before the work.
#pragma once

#include <vector>

#include "app/core/workspace_check.h"
#include "host/workbook.h"

namespace kelv::app {

// Adds what sessions::CheckSessions finds in the data workbook. Template
// fields naming columns the session arrangement writes ("[物理考场]") are
// not yet missing before it has run, and never there in the workbook of one
// 场次: their findings become one notice per template.
void add_session_findings(host::Workbook& data_book, std::vector<Finding>& findings);

}  // namespace kelv::app
