#include "bridge/form_startup.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "component/ignore_failures.h"
#include "host/host_error.h"
#include "sheets/data_workbook.h"
#include "sheets/seat_map_settings.h"
#include "sheets/settings_sheet.h"
#include "templates/template_catalogue.h"

namespace kelv::bridge {
namespace {

using namespace kelv::sheets;
using namespace kelv::templates;

// The listing row counter is 16-bit: more names than it can number fail.
int16_t NextRow(int16_t row) {
  if (row == std::numeric_limits<int16_t>::max()) throw host::HostError::host(host::kOverflow);
  return static_cast<int16_t>(row + 1);
}

}  // namespace

void FormStartUp(component::Component& self, host::Application& EA, host::Form& UF) {
  self.FormReady = false;

  const std::string folder = EA.this_workbook().path() + sheets::kDataFolder;
  const std::vector<std::string> names = self.env.list_files(folder);
  size_t next = 0;
  std::string name = next < names.size() ? names[next++] : std::string();

  host::Worksheet& DTB = EA.this_workbook().worksheets().item(kSettingsSheet);
  UF["TxtSKHao"].set_value(DTB.cells(kStartNumberRow, kStartNumberColumn).value());
  UF["TxtXHShu"].set_value(DTB.cells(kCycleRow, kCycleColumn).value());
  if (DTB.cells(kOptionPairRow, kNumberOrderColumn).value().to_bool()) {
    UF["OptSXKaoHao"].set_value(true);
  } else if (DTB.cells(kOptionPairRow + 1, kNumberOrderColumn).value().to_bool()) {
    UF["OptSJKaoHao"].set_value(true);
  }
  if (DTB.cells(kOptionPairRow, kSeatModeColumn).value().to_bool()) {
    UF["OptXHZuoHao"].set_value(true);
  } else if (DTB.cells(kOptionPairRow + 1, kSeatModeColumn).value().to_bool()) {
    UF["OptACZuoHao"].set_value(true);
  }
  // The seating and seat-map settings, on a form that has their controls.
  if (host::Control* seed = component::OptionalControl(UF, "TxtZhongZi"))
    seed->set_value(DTB.cells(kSeatingRow, kSeedColumn).value());
  if (host::Control* apart = component::OptionalControl(UF, "CmbFenKai"))
    apart->set_value(DTB.cells(kSeatingRow, kKeepApartColumn).value());
  if (host::Control* versions = component::OptionalControl(UF, kPaperVersionControl))
    versions->set_value(PaperVersionsOf(DTB));

  DTB.columns(kDataListColumn).clear();
  DTB.cells(1, kDataListColumn).set_value(kDataListHeading);
  int16_t row = 2;
  DTB.cells(row, kDataListColumn).set_value(name);
  while (!name.empty()) {
    name = next < names.size() ? names[next++] : std::string();
    if (!name.empty()) {
      row = NextRow(row);
      DTB.cells(row, kDataListColumn).set_value(name);
    }
  }
  DTB.cells(1, kDataListColumn)
      .current_region()
      .sort(DTB.cells(1, kDataListColumn), host::SortOrder::Ascending, host::SortHeader::Yes);

  for (int32_t r = 2; !DTB.cells(r, kDataListColumn).value().is_empty(); ++r)
    UF["LtbBiao"].add_item(DTB.cells(r, kDataListColumn).value());

  FillTemplateList(self, EA, UF);
  MakeFormResizable(self, UF.caption());
  self.FormReady = true;
}

void MakeFormResizable(component::Component& self, std::string_view caption) {
  component::IgnoreFailure([&] { self.dialogs.make_form_resizable(caption); });
}

}  // namespace kelv::bridge
