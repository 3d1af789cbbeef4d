#include "generate/generate_tables.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "component/ignore_failures.h"
#include "generate/page_setup_transfer.h"
#include "generate/render_template.h"
#include "host/range.h"
#include "host/worksheet.h"
#include "sheets/data_workbook.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::generate {
namespace {

// The last column a data table may use: column 167 stays empty between the
// table and its scratch copy at column 168, so copying and clearing the copy
// never touch the user's data.
inline constexpr int32_t kLastTableColumn = sheets::kWorkColumn - 2;

// The scratch copy of the data table at (1, WorkColumn). Whatever way the
// command leaves, a failure included, the copy does not stay on the user's
// sheet.
class ScratchCopy {
 public:
  ScratchCopy(host::Worksheet& sheet, int32_t column) : sheet_(sheet), column_(column) {}
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;
  ~ScratchCopy() {
    if (!cleared_) component::IgnoreFailure([this] { Clear(); });
  }
  void Clear() {
    cleared_ = true;
    sheet_.cells(1, column_).current_region().clear();
  }

 private:
  host::Worksheet& sheet_;
  int32_t column_;
  bool cleared_ = false;
};

// Whether the user keeps values where the scratch copy of `table` would go:
// the block it is pasted into at (1, work_column) and the ring of cells
// around that block, through which clearing the copy's current region would
// reach further. Only that area is read, so the cost follows the table.
bool ScratchAreaHasValues(host::Worksheet& sheet, const host::Range& table, int32_t work_column) {
  const int32_t last_row = table.rows_count() + 1;
  const int32_t last_col = std::min(work_column + table.columns_count(), host::kMaxColumns);
  for (int32_t r = 1; r <= last_row; ++r)
    for (int32_t c = work_column - 1; c <= last_col; ++c)
      if (!host::values_equal(sheet.cells(r, c).value(), host::Variant())) return true;
  return false;
}

}  // namespace

void GenerateTables(component::Component& self, host::Application& EA, host::Form& UF) {
  host::Control& LtbMoBan = UF["LtbMoBan"];
  if (LtbMoBan.list_count() == 0) {
    component::ShowNotice(self, "缺少模板，无法生成。");
    return;
  }
  const std::string data_sheet_name =
      UF["ChbSJYuan"].value().to_bool() ? sheets::kExamineeSheet : sheets::kRoomSheet;
  const bool across_first = UF["ChbHengPai"].value().to_bool();
  const std::string template_name = LtbMoBan.value().to_text();
  const int32_t settings_row = LtbMoBan.list_index() + 2;
  const std::string& output_name = template_name;
  if (!self.FormReady) return;

  // Replacing the earlier output sheet would delete a data sheet.
  if (output_name == sheets::kExamineeSheet || output_name == sheets::kRoomSheet) {
    component::ShowNotice(self, "模板名“" + template_name + "”与数据工作表同名，无法生成。");
    return;
  }

  host::Worksheet& dtb = EA.this_workbook().worksheets().item(sheets::kSettingsSheet);
  dtb.cells(sheets::kCaptureRow, sheets::kCaptureFlagColumn).set_value(false);
  host::Workbook& book = EA.workbooks().item(self.DataBookName);
  host::Worksheet& data = book.worksheets().item(data_sheet_name);

  const host::Range table = data.cells(1, 1).current_region();
  if (table.area().col2 > kLastTableColumn) {
    component::ShowNotice(self, "“" + data_sheet_name + "”的表格超过第" +
                                    std::to_string(kLastTableColumn) + "列，无法生成。");
    return;
  }
  // The copy and its clearing would overwrite and then erase what the user
  // keeps there.
  if (ScratchAreaHasValues(data, table, self.WorkColumn)) {
    component::ShowNotice(self, "“" + data_sheet_name + "”第" +
                                    std::to_string(kLastTableColumn + 1) +
                                    "列及右侧有数据，无法生成。");
    return;
  }
  ScratchCopy scratch(data, self.WorkColumn);
  table.copy();
  data.cells(1, self.WorkColumn).paste_special_values();

  if (sheets::SheetExists(book.worksheets(), output_name)) {
    SavePageSetup(self, EA, output_name);
    book.worksheets().item(output_name).delete_sheet();
  }
  book.worksheets().add_after(book.worksheets().item(sheets::kExamineeSheet));
  book.active_sheet().set_name(output_name);
  book.worksheets().item(output_name).activate();

  const bool rendered =
      RenderTemplate(self, EA, data_sheet_name, template_name, settings_row, across_first);
  if (rendered) {
    ApplyPageSetup(self, EA, output_name, settings_row);
  } else {
    book.worksheets().item(output_name).delete_sheet();
    data.activate();
  }
  scratch.Clear();
  EA.active_window().set_scroll_row(1);
  EA.active_window().set_scroll_column(1);
  component::SignalDone(self);
}

}  // namespace kelv::generate
