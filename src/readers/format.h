// The engine's file format: reads every kind of spreadsheet file schools
// have, chosen by the file's first bytes rather than its name, and writes
// .xlsx. A workbook read from anything but .xlsx / .xlsm remembers it
// (Workbook::source_kind, source_path) and is never saved over that file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "host/file_system.h"
#include "spreadsheet/file_format.h"
#include "spreadsheet/model.h"

namespace kelv::readers {

enum class FileKind { Xlsx, Xls, SpreadsheetXml, Html, Text };

// The kind of spreadsheet file the bytes begin: a compound file (old
// binary workbook), a zip (.xlsx / .xlsm), XML of the 2003 spreadsheet,
// an HTML page with a table, otherwise delimited text.
FileKind detect_kind(std::string_view head);

// Reads any of those kinds from memory; `name` stands for the file in
// messages and names the sheet of a text file. Throws host::HostError 1004
// naming the file (and the part) for what it cannot read.
std::unique_ptr<spreadsheet::Workbook> read_any(std::shared_ptr<const std::string> bytes,
                                                const std::string& name);
// The same for a file: 53 when it is missing.
std::unique_ptr<spreadsheet::Workbook> read_any(const std::string& path);
// The same, reading the cells of only the sheets `cells_of` names when the
// file is a package (xlsx::ReadScope: such a workbook is never saved);
// other kinds are small and read whole.
std::unique_ptr<spreadsheet::Workbook> read_any(
    const std::string& path, const std::function<bool(std::string_view sheet)>& cells_of);

class AnyFormat : public spreadsheet::FileFormat {
 public:
  AnyFormat() = default;
  // Saves through `fs` (which must outlive the format).
  explicit AnyFormat(host::FileSystem& fs) : fs_(&fs) {}

  std::unique_ptr<spreadsheet::Workbook> load(const std::string& path) override;
  // Refuses (1004) to write over the file a workbook of another kind was
  // read from; otherwise writes .xlsx as the xlsx format does.
  void save(const spreadsheet::Workbook& book, const std::string& path) override;

 private:
  host::FileSystem* fs_ = nullptr;
};

}  // namespace kelv::readers
