#include "templates/select_template.h"

#include <string>
#include <string_view>

#include "sheets/column_lists.h"
#include "sheets/seat_map_settings.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::templates {

using namespace sheets;  // the settings sheet's layout
namespace {

// Full-width forms of the marker characters, replaced in this order.
constexpr std::pair<std::string_view, std::string_view> kFullWidthMarkers[] = {
    {"［", "["}, {"【", "["}, {"］", "]"}, {"】", "]"},
    {"｛", "{"}, {"｝", "}"}, {"＠", "@"}, {"＃", "#"},
};

// Removed from marker cells, in this order: space, ideographic space, the
// in-cell line break.
constexpr std::string_view kMarkerBlanks[] = {" ", "　", "\n"};

// The cell selection shows first, and the window corner it scrolls back to.
constexpr int32_t kEditRow = 33, kEditColumn = 1;
constexpr int32_t kMarkerColumnWidth = 3;

// A cell holds a marker when its text contains [ { @ or #. An error value
// holds none.
bool IsMarkerCell(const host::Variant& v) {
  if (v.is_error()) return false;
  return v.to_text().find_first_of("[{@#") != std::string::npos;
}

host::ReplaceFormat MarkerFormat() {
  host::ReplaceFormat f;
  f.font.name = "Arial";
  f.font.size = 12;
  f.font.bold = false;
  f.font.color_index = 1;
  f.horizontal_alignment = host::xlLeft;
  f.vertical_alignment = host::xlCenter;
  return f;
}

}  // namespace

void SelectTemplate(component::Component& self, host::Application& EA, host::Form& UF) {
  if (!self.FormReady) return;
  host::Control& LtbMoBan = UF["LtbMoBan"];
  if (LtbMoBan.list_count() == 0) return;
  if (LtbMoBan.list_index() == -1) LtbMoBan.set_selected(0, true);
  const std::string name = LtbMoBan.value().to_text();
  const int32_t row = LtbMoBan.list_index() + kCatalogueFirstRow;

  host::Worksheet& DTB = EA.this_workbook().worksheets().item(kSettingsSheet);
  DTB.columns(kFlagColumn).clear();
  DTB.cells(row, kFlagColumn).set_value(true);

  for (const SettingColumn& s : kTemplateSettings)
    UF[s.control].set_value(DTB.cells(row, s.column).value());
  if (host::Control* room_layout = component::OptionalControl(UF, kRoomLayoutControl))
    room_layout->set_value(RoomLayoutOf(DTB, row));

  FillColumnLists(self, EA, UF, UF["ChbSJYuan"].value().to_bool());

  EA.this_workbook().activate();
  if (SheetExists(EA.this_workbook().worksheets(), name)) {
    host::Worksheet& sheet = EA.this_workbook().worksheets().item(name);
    sheet.set_visible(host::SheetVisibility::Visible);
    sheet.activate();
    sheet.cells(kEditRow, kEditColumn).activate();
    EA.active_window().set_scroll_row(1);
    EA.active_window().set_scroll_column(1);
    NormaliseMarkers(EA, sheet);
  } else {
    ShowNotice(self, "没有找到模板表：" + name);
  }
}

void NormaliseMarkers(host::Application& EA, host::Worksheet& sheet) {
  for (const auto& [full_width, ascii] : kFullWidthMarkers)
    sheet.used_range().replace(full_width, ascii, host::LookAt::Part, false);

  for (const host::Range& cell : sheet.used_range().each_cell()) {
    if (!IsMarkerCell(cell.value())) continue;
    for (std::string_view blank : kMarkerBlanks) cell.replace(blank, "", host::LookAt::Part, false);
  }

  EA.replace_format() = MarkerFormat();
  sheet.used_range().replace("@", "@", host::LookAt::Whole, true);
  sheet.used_range().replace("#", "#", host::LookAt::Whole, true);

  sheet.columns(1).set_column_width(kMarkerColumnWidth);
  sheet.columns(1).set_horizontal_alignment(host::xlRight);
  sheet.cells(1, 1).set_horizontal_alignment(host::xlLeft);
}

}  // namespace kelv::templates
