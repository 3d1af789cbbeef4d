// A plain-text dump of one sheet for golden tests: deterministic, one line
// per stored cell that has a value or a format other than the workbook's
// default, then merges, row heights, column widths, page breaks, pictures
// and page setup. Format parts equal to the workbook's default format
// (style 0) are left out.
//
//   cell    B3 s "姓名" | fmt=@ font=宋体,12,b,color=ind:12 fill=solid:rgb:FFFF00
//   border=l:thin,r:thin align=h:center,wrap
//           C4 n 3 = COUNTIF(A:A,A4)        (a formula: its cached value, then "= A1 text")
//           value kinds: n number, s text, b Boolean, e error, - empty
//   merge   A1:C1
//   row     3 height=20.25 hidden
//   col     B width=12.5 hidden
//   break   above 10
//   picture 1 top=12.00 left=48.00 width=75.00 height=100.00 image=100x133 jpeg
//   page    ...
#pragma once

#include <string>

#include "spreadsheet/model.h"

namespace kelv::spreadsheet {

std::string dump_sheet(const Workbook& book, const Sheet& sheet);

}  // namespace kelv::spreadsheet
