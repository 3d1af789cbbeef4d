#include "app/core/arrangement_state.h"

#include <algorithm>

#include "host/host_error.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::app {
namespace {

std::string quoted_list(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "“" : "、“") + n + "”";
  return text;
}

}  // namespace

bool is_arranged(host::Workbook& data) {
  try {
    if (!sheets::SheetExists(data.worksheets(), sheets::kExamineeSheet)) return false;
    host::Worksheet& sheet = data.worksheets().item(sheets::kExamineeSheet);
    const host::Range used = sheet.used_range();
    const int32_t last_column = used.column() + used.columns_count() - 1;
    const int32_t last_row = used.row() + used.rows_count() - 1;
    for (int32_t c = 1; c <= last_column; ++c) {
      if (sheet.cells(1, c).value().to_text() != "考号") continue;
      for (int32_t r = 2; r <= last_row; ++r)
        if (!sheet.cells(r, c).value().to_text().empty()) return true;
      return false;
    }
  } catch (const host::HostError&) {
    // A workbook that cannot be read this far has no numbers to speak of.
  }
  return false;
}

std::vector<std::string> generated_tables(host::Workbook& host_book, host::Workbook& data) {
  std::vector<std::string> templates;
  try {
    if (!sheets::SheetExists(host_book.worksheets(), sheets::kSettingsSheet)) return {};
    host::Worksheet& dtb = host_book.worksheets().item(sheets::kSettingsSheet);
    for (int32_t r = sheets::kCatalogueFirstRow;; ++r) {
      const std::string name = dtb.cells(r, sheets::kNameColumn).value().to_text();
      if (name.empty()) break;
      templates.push_back(name);
    }
  } catch (const host::HostError&) {
    return {};
  }
  std::vector<std::string> found;
  for (host::Worksheet& sheet : data.worksheets()) {
    const std::string name = sheet.name();
    // The data sheets themselves are never a template's output.
    if (name == sheets::kExamineeSheet || name == sheets::kRoomSheet) continue;
    if (std::find(templates.begin(), templates.end(), name) != templates.end())
      found.push_back(name);
  }
  return found;
}

std::string stale_tables_question(const std::vector<std::string>& names) {
  return quoted_list(names) +
         "是按重新编排之前的考号生成的，已经过时。是否现在用新的考号重新生成？";
}

std::string stale_tables_text(const std::vector<std::string>& names) {
  return quoted_list(names) + "已经过时（按旧考号生成）：请选择模板重新生成";
}

}  // namespace kelv::app
