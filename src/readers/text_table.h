// Spreadsheets that are text: delimited text (.csv, tab-separated "Unicode
// text"), HTML tables saved as .xls, and the XML spreadsheet of 2003.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "spreadsheet/model.h"

namespace kelv::readers {

// The file's text as UTF-8: by its byte-order mark (UTF-8, UTF-16LE,
// UTF-16BE), else strict UTF-8, else GB18030. Refuses binary data and
// bytes that are text in none of these (1004 naming `file`).
std::string decode_text(std::string_view bytes, const std::string& file);

// One sheet named after the file's stem. The separator is the one of
// comma, tab, semicolon and bar that splits the first lines alike outside
// quotes; quoted fields hold doubled quotes and line breaks.
std::unique_ptr<spreadsheet::Workbook> read_delimited(std::string_view bytes,
                                                      const std::string& file);

// Every top-level <table> of the page as a sheet; colspan and rowspan
// become merged cells; cells the page marks as text stay text.
std::unique_ptr<spreadsheet::Workbook> read_html(std::string_view bytes, const std::string& file);

// Every Worksheet: typed data, number formats of the styles, merged cells
// (MergeAcross / MergeDown), column widths and row heights.
std::unique_ptr<spreadsheet::Workbook> read_spreadsheet_xml(std::string_view bytes,
                                                            const std::string& file);

}  // namespace kelv::readers
