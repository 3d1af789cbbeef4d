#include "templates/setting_persistence.h"

#include "sheets/column_lists.h"
#include "sheets/seat_map_settings.h"
#include "sheets/settings_sheet.h"

namespace kelv::templates {

using namespace sheets;  // the settings sheet's layout
namespace {

constexpr int32_t kMostBlocks = 300;
constexpr int32_t kFewestBlocks = 1;
constexpr int32_t kLeastSpacing = 0;

host::Worksheet& SettingsSheet(host::Application& EA) {
  return EA.this_workbook().worksheets().item(kSettingsSheet);
}

// The selected template's catalogue row; the heading row when nothing is
// selected, where the per-template writers store nothing.
int32_t SelectedRow(host::Form& UF) {
  return UF["LtbMoBan"].list_index() + kCatalogueFirstRow;
}

bool NoneSelected(int32_t row) {
  return row <= kCatalogueHeadingRow;
}

void SaveClamped(host::Application& EA, host::Form& UF, std::string_view name, int32_t column,
                 int32_t lowest) {
  const int32_t row = SelectedRow(UF);
  int32_t v = UF[name].value().to_int32();
  if (v > kMostBlocks) v = kMostBlocks;
  if (v < lowest) v = lowest;
  UF[name].set_value(v);
  if (NoneSelected(row)) return;
  SettingsSheet(EA).cells(row, column).set_value(v);
}

using Writer = void (*)(component::Component&, host::Application&, host::Form&, std::string_view);

struct SettingRow {
  std::string_view name;
  Writer writer;
};

// Searched in order, exactly and case-sensitively; the first match is called.
constexpr SettingRow kSettings[] = {
    {"TxtHang", [](component::Component&, host::Application& EA, host::Form& UF,
                   std::string_view name) { SaveLayoutCount(EA, UF, name, kRowsPerPageColumn); }},
    {"TxtLie", [](component::Component&, host::Application& EA, host::Form& UF,
                  std::string_view name) { SaveLayoutCount(EA, UF, name, kColsAcrossColumn); }},
    {"TxtHJv", [](component::Component&, host::Application& EA, host::Form& UF,
                  std::string_view name) { SaveLayoutSpacing(EA, UF, name, kRowSpacingColumn); }},
    {"TxtLJv", [](component::Component&, host::Application& EA, host::Form& UF,
                  std::string_view name) { SaveLayoutSpacing(EA, UF, name, kColSpacingColumn); }},
    {"CmbPaiXv",
     [](component::Component& self, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveTemplateValue(self, EA, UF, name, kSortNameColumn);
     }},
    {"CmbHuanYe",
     [](component::Component& self, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveTemplateValue(self, EA, UF, name, kPageNameColumn);
     }},
    {"ChbHengPai",
     [](component::Component& self, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveTemplateValue(self, EA, UF, name, kAcrossFirstColumn);
     }},
    {"ChbSJYuan",
     [](component::Component& self, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveDataSource(self, EA, UF, name, kDataSourceColumn);
     }},
    {kRoomLayoutControl,
     [](component::Component& self, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveTemplateValue(self, EA, UF, name, kRoomLayoutColumn);
     }},
    {"TxtSKHao",
     [](component::Component&, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveExamSetting(EA, UF, name, kStartNumberRow, kStartNumberColumn);
     }},
    {"TxtXHShu",
     [](component::Component&, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveExamSetting(EA, UF, name, kCycleRow, kCycleColumn);
     }},
    {"TxtZhongZi",
     [](component::Component&, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveExamSetting(EA, UF, name, kSeatingRow, kSeedColumn);
     }},
    {"CmbFenKai",
     [](component::Component& self, host::Application& EA, host::Form& UF, std::string_view name) {
       if (self.FormReady) SaveExamSetting(EA, UF, name, kSeatingRow, kKeepApartColumn);
     }},
    {kPaperVersionControl,
     [](component::Component&, host::Application& EA, host::Form& UF, std::string_view name) {
       SaveExamSetting(EA, UF, name, kCombinationRow, kPaperVersionColumn);
     }},
    {"OptSXKaoHao",
     [](component::Component& self, host::Application& EA, host::Form&, std::string_view) {
       SaveOptionPair(self, EA, kOptionPairRow, kNumberOrderColumn, true);
     }},
    {"OptSJKaoHao",
     [](component::Component& self, host::Application& EA, host::Form&, std::string_view) {
       SaveOptionPair(self, EA, kOptionPairRow, kNumberOrderColumn, false);
     }},
    {"OptXHZuoHao",
     [](component::Component& self, host::Application& EA, host::Form&, std::string_view) {
       SaveOptionPair(self, EA, kOptionPairRow, kSeatModeColumn, true);
     }},
    {"OptACZuoHao",
     [](component::Component& self, host::Application& EA, host::Form&, std::string_view) {
       SaveOptionPair(self, EA, kOptionPairRow, kSeatModeColumn, false);
     }},
};

}  // namespace

void RouteSetting(component::Component& self, host::Application& EA, host::Form& UF,
                  std::string_view strFlag) {
  for (const SettingRow& row : kSettings) {
    if (row.name == strFlag) {
      row.writer(self, EA, UF, row.name);
      return;
    }
  }
}

void SaveLayoutCount(host::Application& EA, host::Form& UF, std::string_view name, int32_t column) {
  SaveClamped(EA, UF, name, column, kFewestBlocks);
}

void SaveLayoutSpacing(host::Application& EA, host::Form& UF, std::string_view name,
                       int32_t column) {
  SaveClamped(EA, UF, name, column, kLeastSpacing);
}

void SaveTemplateValue(component::Component& self, host::Application& EA, host::Form& UF,
                       std::string_view name, int32_t column) {
  if (!self.FormReady) return;
  const int32_t row = SelectedRow(UF);
  if (NoneSelected(row)) return;
  SettingsSheet(EA).cells(row, column).set_value(UF[name].value());
}

void SaveDataSource(component::Component& self, host::Application& EA, host::Form& UF,
                    std::string_view name, int32_t column) {
  if (!self.FormReady) return;
  const int32_t row = SelectedRow(UF);
  const bool b = UF[name].value().to_bool();
  if (!NoneSelected(row)) SettingsSheet(EA).cells(row, column).set_value(b);
  FillColumnLists(self, EA, UF, b);
}

void SaveExamSetting(host::Application& EA, host::Form& UF, std::string_view name, int32_t row,
                     int32_t column) {
  SettingsSheet(EA).cells(row, column).set_value(UF[name].value());
}

void SaveOptionPair(component::Component& self, host::Application& EA, int32_t row, int32_t column,
                    bool flag) {
  if (!self.FormReady) return;
  host::Worksheet& DTB = SettingsSheet(EA);
  DTB.cells(row, column).set_value(flag);
  DTB.cells(row + 1, column).set_value(!flag);
}

}  // namespace kelv::templates
