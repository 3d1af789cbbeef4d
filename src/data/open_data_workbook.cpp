#include "data/open_data_workbook.h"

#include <string>

#include "host/host_error.h"
#include "sheets/column_lists.h"
#include "sheets/data_workbook.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::data {

using namespace sheets;  // the layouts of both sheets

namespace {

// Workbooks.Open on the data folder's file. A file the host cannot read
// leaves the component as it was before the click: the earlier data
// workbook stays current. The failure travels on to the error box, and
// names the file even where the host's description does not.
void OpenFromDataFolder(component::Component& self, host::Application& EA,
                        const std::string& previous_name) {
  const std::string file = self.DataBookName;
  try {
    EA.workbooks().open(EA.this_workbook().path() + kDataFolder + file);
  } catch (const host::HostError& e) {
    self.DataBookName = previous_name;
    if (e.description().find(file) != std::string::npos) throw;
    throw host::HostError(e.source(), e.number(), e.description() + "：" + file);
  } catch (...) {
    self.DataBookName = previous_name;
    throw;
  }
}

// Rows(1).Replace of spaces, ideographic spaces and line feeds.
void CleanHeaderRow(host::Worksheet& sheet) {
  sheet.rows(1).replace(" ", "", host::LookAt::Part);
  sheet.rows(1).replace("\u3000", "", host::LookAt::Part);
  sheet.rows(1).replace("\n", "", host::LookAt::Part);
}

}  // namespace

void OpenDataWorkbook(component::Component& self, host::Application& EA, host::Form& UF) {
  host::Control& LtbBiao = UF["LtbBiao"];
  if (LtbBiao.list_count() == 0) return;
  if (LtbBiao.list_index() == -1) LtbBiao.set_selected(0, true);
  const std::string previous_name = self.DataBookName;
  self.DataBookName = LtbBiao.value().to_text();

  bool already_open = false;
  for (host::Workbook& book : EA.workbooks()) {
    if (book.name() == self.DataBookName) {
      EA.workbooks().item(self.DataBookName).activate();
      already_open = true;
      break;
    }
  }
  if (!already_open) OpenFromDataFolder(self, EA, previous_name);

  host::Workbook& book = EA.workbooks().item(self.DataBookName);
  if (!SheetExists(book.worksheets(), kRoomSheet)) {
    component::ShowNotice(self, "缺少 考场表，请检查标签名。");
    return;
  }
  if (!SheetExists(book.worksheets(), kExamineeSheet)) {
    component::ShowNotice(self, "缺少 考生表，请检查标签名。");
    return;
  }
  self.WorkColumn = kWorkColumn;

  host::Worksheet& rooms = book.worksheets().item(kRoomSheet);
  rooms.set_tab_color_index(kWrittenColorIndex);
  rooms.rows(kRoomHeadingRow).font().set_color_index(0);
  rooms.range(rooms.cells(kRoomHeadingRow, 1), rooms.cells(kRoomHeadingRow, kRoomColumnCount))
      .font()
      .set_color_index(kWrittenColorIndex);
  rooms.columns(kRoomFirstNumberColumn).font().set_color_index(kWrittenColorIndex);
  rooms.columns(kRoomLastNumberColumn).font().set_color_index(kWrittenColorIndex);
  for (int32_t c = 1; c <= kRoomColumnCount; ++c)
    rooms.cells(kRoomHeadingRow, c).set_value(kRoomHeadings[c - 1]);
  CleanHeaderRow(rooms);
  rooms.columns(kRoomNameColumn).set_number_format_local("@");
  rooms.columns(kRoomFirstNumberColumn).set_number_format_local("@");
  rooms.columns(kRoomLastNumberColumn).set_number_format_local("@");

  host::Worksheet& examinees = book.worksheets().item(kExamineeSheet);
  examinees.set_tab_color_index(kWrittenColorIndex);
  CleanHeaderRow(examinees);

  const bool use_examinee_sheet = UF["ChbSJYuan"].value().to_bool();
  FillColumnLists(self, EA, UF, use_examinee_sheet);

  if (use_examinee_sheet) {
    host::Worksheet& shown = book.worksheets().item(kExamineeSheet);
    shown.activate();
    shown.cells(1, 1).activate();
  } else {
    book.worksheets().item(kRoomSheet).activate();
  }

  host::Window& window = EA.active_window();
  window.set_scroll_row(1);
  window.set_scroll_column(1);
  window.set_tab_ratio(0.9);
  window.set_split_row(1);
  window.set_split_column(0);
  window.set_freeze_panes(true);

  UF["CmdDoKaoHao"].set_enabled(true);
  UF["CmdDoYongBiao"].set_enabled(true);
}

}  // namespace kelv::data
