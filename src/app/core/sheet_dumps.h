// kelv dump: the text dumps of a workbook's sheets, for golden files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kelv::app {

// Writes the dump of each named sheet of the .xlsx/.xlsm file, in the order
// given, or of every sheet in tab order when none is named. A single sheet
// is written bare; several are each introduced by a line "== NAME ==".
// Throws ScenarioError for an unreadable file or a sheet it lacks.
void dump_sheets(const std::string& path, const std::vector<std::string>& sheets,
                 std::ostream& out);

}  // namespace kelv::app
