// A data workbook made from another spreadsheet file (an examinee list as
// .xls, .csv, an HTML or XML table): the file's first sheet becomes the
// examinee sheet 考生表, and an empty room sheet 考场表 with its headings is
// added. `kelv import` and the front ends share it.
#pragma once

#include <memory>
#include <string>

#include "host/file_system.h"
#include "spreadsheet/model.h"

namespace kelv::app {

// Takes the first sheet of `source` (what any reader read) and returns the
// data workbook, to be saved at `target` (an .xlsx path).
std::unique_ptr<spreadsheet::Workbook> make_data_workbook(
    std::unique_ptr<spreadsheet::Workbook> source, const std::string& target);

struct ImportResult {
  std::string output;                 // absolute path written
  int32_t rows = 0;                   // rows of 考生表, the heading included
  std::vector<std::string> repairs;   // what the reader mended
  std::vector<std::string> warnings;  // what the data will show wrongly (lost digits)
};

// Where import_data_file writes for `input` and `output`: `output` when
// given, else NAME.xlsx beside the input. Absolute.
std::string import_target(const std::string& input, const std::string& output);

// Reads `input` (any kind the engine opens), makes the data workbook and
// writes it at `output`, or NAME.xlsx beside the input when `output` is
// empty. Refuses (host::HostError 1004) to replace an existing file unless
// `force`, and never writes over the input. Writes through `files`, like a
// save.
ImportResult import_data_file(const std::string& input, const std::string& output, bool force,
                              host::FileSystem& files = host::FileSystem::system());

}  // namespace kelv::app
