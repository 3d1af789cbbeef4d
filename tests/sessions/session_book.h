// A workspace in a temporary folder for the session tests: a host workbook
// with the settings sheet DTB and one data workbook copied from
// tests/sessions/data (written by make_workbooks.py), open in the engine.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/file_path.h"
#include "sheets/settings_sheet.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::sessions::testing {

inline std::string DataFile(const std::string& name) {
  return std::string(KELV_TEST_DATA) + "/../sessions/data/" + name;
}

class Workspace {
 public:
  // `settings`: DTB cells by (row, column), as the form stores them.
  explicit Workspace(const std::string& data_name,
                     const std::map<std::pair<int32_t, int32_t>, host::Variant>& settings = {})
      : temp_("sessions"), engine(std::make_shared<xlsx::XlsxFormat>()) {
    namespace fs = std::filesystem;
    fs::create_directories(temp_.path() / host::file_path("数据"));
    fs::copy_file(host::file_path(DataFile(data_name)),
                  temp_.path() / host::file_path("数据") / host::file_path(data_name));
    host = &engine.add_workbook(temp_.file("考务.xlsx"));
    host->sheet_at(0).set_name(sheets::kSettingsSheet);
    for (const auto& [cell, value] : settings)
      host->sheet_at(0).cells(cell.first, cell.second).set_value(value);
    engine.set_this_workbook(*host);
    data = &engine.open_workbook(data_path(data_name));
  }

  std::string data_path(const std::string& name) const { return temp_.file("数据/" + name); }
  const test::TempFolder& folder() const { return temp_; }

  // The text of every cell of a sheet's row, up to its last used column.
  static std::vector<std::string> Row(host::Worksheet& sheet, int32_t row) {
    std::vector<std::string> out;
    const int32_t last = sheet.used_rect().col2;
    for (int32_t c = 1; c <= last; ++c) out.push_back(sheet.cell_value(row, c).to_text());
    return out;
  }
  // The column of a heading in row 1; 0 when none.
  static int32_t Column(host::Worksheet& sheet, const std::string& heading) {
    const int32_t last = sheet.used_rect().col2;
    for (int32_t c = 1; c <= last; ++c)
      if (sheet.cell_value(1, c).to_text() == heading) return c;
    return 0;
  }

 private:
  test::TempFolder temp_;

 public:
  spreadsheet::Engine engine;
  host::Workbook* host = nullptr;
  host::Workbook* data = nullptr;
};

}  // namespace kelv::sessions::testing
