#include "app/core/sheet_dumps.h"

#include "app/core/workspace_folder.h"
#include "host/host_error.h"
#include "readers/format.h"
#include "spreadsheet/sheet_dump.h"

namespace kelv::app {

void dump_sheets(const std::string& path, const std::vector<std::string>& sheets,
                 std::ostream& out) {
  std::unique_ptr<spreadsheet::Workbook> book;
  try {
    book = readers::read_any(path);
  } catch (const host::HostError& e) {
    throw WorkspaceError(WorkspaceError::Kind::Unreadable, "读不了工作簿：" + std::string(e.what()));
  }

  std::vector<const spreadsheet::Sheet*> chosen;
  if (sheets.empty()) {
    for (const auto& sheet : book->sheets) chosen.push_back(sheet.get());
  } else {
    for (const std::string& name : sheets) {
      const spreadsheet::Sheet* found = nullptr;
      for (const auto& sheet : book->sheets)
        if (sheet->name == name) found = sheet.get();
      // The message is made once, as the loop ends by throwing.
      if (found == nullptr)
        // NOLINTNEXTLINE(performance-inefficient-string-concatenation)
        throw WorkspaceError(WorkspaceError::Kind::Missing, path + " 中没有工作表 " + name);
      chosen.push_back(found);
    }
  }
  for (const spreadsheet::Sheet* sheet : chosen) {
    if (chosen.size() > 1) out << "== " << sheet->name << " ==\n";
    out << spreadsheet::dump_sheet(*book, *sheet);
  }
}

}  // namespace kelv::app
