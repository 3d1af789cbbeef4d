// The references of a formula's A1 text (no "="), moved or pointed at
// another sheet. Only references change: text in double quotes, structured
// references and external book numbers in brackets ("Table1[Col1]",
// "[@Col]", "Table1[[#Headers],[A]]", "[1]Sheet1!A1"), function names,
// sheet names and defined names stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelv::spreadsheet {

// Moves the relative references (those without "$") by (rows, columns), as
// a paste, a sort or a shared formula's follower sees its anchor's text.
// A cell, a range of cells ("A1:B2"), whole columns ("A:C") or whole rows
// ("3:5") pushed off the sheet becomes #REF! as a whole. References after a
// sheet prefix move like any other.
std::string move_references(std::string_view formula, int32_t rows, int32_t columns);

// Points references to sheet `from` at sheet `to` ("'MBB'!$A$1" becomes
// "'MBB (2)'!$A$1"); other text is left alone.
std::string rename_sheet_references(std::string_view formula, std::string_view from,
                                    std::string_view to);
// References to a deleted sheet become #REF! ("MBB!$A$1" becomes "#REF!$A$1").
std::string drop_sheet_references(std::string_view formula, std::string_view gone);

}  // namespace kelv::spreadsheet
