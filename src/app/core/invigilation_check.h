// The invigilation rota's part of the check before the work: what the rota
// would stop at in a data workbook with 监考表, as findings of the check.
#pragma once

#include <vector>

#include "app/core/workspace_check.h"
#include "host/workbook.h"

namespace kelv::app {

// Adds the rota's problems to `findings` (errors kept before notices), with
// the rules stored on the host workbook's settings sheet; a data workbook
// without 监考表 adds none. A duty-slip template's fields missing from a
// data or per-session workbook, and whatever is found in the duty-slip
// workbook itself, become notices: those stop nothing.
void add_invigilation_findings(host::Workbook& host_book, host::Workbook& data_book,
                               std::vector<Finding>& findings);

}  // namespace kelv::app
