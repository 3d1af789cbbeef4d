// Old binary workbooks (.xls): BIFF8, and BIFF5 of the years before it,
// read from the Workbook (or Book) stream of a compound file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "spreadsheet/model.h"

namespace kelv::readers {

// Reads every worksheet: values (formulas as their cached results),
// number formats (so dates stay dates), merged cells, column widths and
// row heights. An encrypted file is refused. Throws host::HostError 1004
// naming `file` and the part for what it cannot read; local defects are
// read and listed in the workbook's repairs.
std::unique_ptr<spreadsheet::Workbook> read_xls(std::string_view bytes, const std::string& file);

}  // namespace kelv::readers
