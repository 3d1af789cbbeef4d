// Reading and writing .xlsx / .xlsm workbooks for the embedded spreadsheet.
// What the model holds is read into it; what it does not hold (charts,
// comments, conditional formats, macros, custom parts, ...) is kept in the
// workbook's and sheets' passthrough and written back in place.
#pragma once

#include <memory>
#include <string>

#include "spreadsheet/file_format.h"
#include "spreadsheet/model.h"
#include "xlsx/package.h"

namespace kelv::xlsx {

// Throws host::HostError 53 for a missing file, 1004 naming the file and the
// part for anything unreadable (not a zip, a missing part, broken XML, a
// reference off the sheet, a part beyond the unpacking limits).
std::unique_ptr<spreadsheet::Workbook> read_workbook(const std::string& path,
                                                     const UnpackLimits& limits = {});

// Writes a temporary file beside the target and renames it over the target
// only when complete; on failure the old file is untouched and
// host::HostError 1004 names the file.
void write_workbook(const spreadsheet::Workbook& book, const std::string& path);

class XlsxFormat : public spreadsheet::FileFormat {
 public:
  std::unique_ptr<spreadsheet::Workbook> load(const std::string& path) override {
    return read_workbook(path);
  }
  void save(const spreadsheet::Workbook& book, const std::string& path) override {
    write_workbook(book, path);
  }
};

}  // namespace kelv::xlsx
