// Reading and writing .xlsx / .xlsm workbooks for the embedded spreadsheet.
// What the model holds is read into it; what it does not hold (charts,
// comments, conditional formats, macros, custom parts, ...) is kept in the
// workbook's and sheets' passthrough and written back in place.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "host/file_system.h"
#include "spreadsheet/file_format.h"
#include "spreadsheet/model.h"
#include "xlsx/package.h"

namespace kelv::xlsx {

// Throws host::HostError 53 for a missing file, 1004 naming the file and the
// part for anything unreadable (not a zip, a missing part, broken XML, a
// reference off the sheet, a part beyond the unpacking limits).
std::unique_ptr<spreadsheet::Workbook> read_workbook(const std::string& path,
                                                     const UnpackLimits& limits = {});
// The same for a package held in memory; `name` stands for the file.
std::unique_ptr<spreadsheet::Workbook> read_workbook(std::shared_ptr<const std::string> bytes,
                                                     const std::string& name,
                                                     const UnpackLimits& limits = {});

// What a reading for a look at some sheets (printing them) may leave out.
// `cells_of` says, by a sheet's name, whether its cells, pictures and
// relationships are read; a sheet left out is there with its name and
// visibility and nothing else. When any sheet is left out, the parts the
// model does not hold are not kept either: such a workbook is for reading
// and must never be saved.
struct ReadScope {
  std::function<bool(std::string_view sheet)> cells_of;  // null: every sheet
};
std::unique_ptr<spreadsheet::Workbook> read_workbook(const std::string& path,
                                                     const ReadScope& scope,
                                                     const UnpackLimits& limits = {});

// Writes a temporary file beside the target, flushes it to the disk and
// renames it over the target only then; on failure the old file is
// untouched, the temporary file gone, and host::HostError names the file,
// the step and the reason: 70 when permission is refused (a read-only
// folder, a file another program is writing), 1004 otherwise (a full disk
// among them). Temporary files a killed save left are removed first.
void write_workbook(const spreadsheet::Workbook& book, const std::string& path,
                    host::FileSystem& fs = host::FileSystem::system());

class XlsxFormat : public spreadsheet::FileFormat {
 public:
  XlsxFormat() = default;
  // Saves through `fs` (which must outlive the format) instead of the
  // system's file system.
  explicit XlsxFormat(host::FileSystem& fs) : fs_(&fs) {}

  std::unique_ptr<spreadsheet::Workbook> load(const std::string& path) override {
    return read_workbook(path);
  }
  void save(const spreadsheet::Workbook& book, const std::string& path) override {
    write_workbook(book, path, fs_ ? *fs_ : host::FileSystem::system());
  }

 private:
  host::FileSystem* fs_ = nullptr;
};

}  // namespace kelv::xlsx
