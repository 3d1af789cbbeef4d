// The session arrangement's check (场次表, 选考科目, rooms per 场次) as
// findings of the check before the work.
#pragma once

#include <vector>

#include "app/core/workspace_check.h"
#include "host/workbook.h"

namespace kelv::app {

// Adds what sessions::CheckSessions finds in the data workbook. A template
// field naming a column the session arrangement writes ("[物理考场]") is
// not yet missing before it has run: such a finding becomes a notice.
void add_session_findings(host::Workbook& data_book, std::vector<Finding>& findings);

}  // namespace kelv::app
