// After tables are generated: the texts of the new table that will print
// cut off (a long school name in a label's box), for a front end to list.
#pragma once

#include <string>
#include <vector>

#include "host/application.h"

namespace kelv::app {

// One line per cut-off text of the active sheet (the table generation just
// wrote), at most `limit` of them and then a line with how many more; none
// when every text fits or the application is not kelv's own spreadsheet.
std::vector<std::string> cut_text_notes(host::Application& EA, size_t limit = 10);

}  // namespace kelv::app
