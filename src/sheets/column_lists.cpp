#include "sheets/column_lists.h"

#include <string>

#include "component/ignore_failures.h"
#include "host/host_error.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"

namespace kelv::sheets {
namespace {

// A sheet variable that may have stayed unset because the statement that
// sets it failed; using it then fails like any other statement.
host::Worksheet& Set(host::Worksheet* sheet) {
  if (sheet == nullptr) throw host::HostError::host(host::kSubscriptOutOfRange);
  return *sheet;
}

void RefillKeepingText(host::Form& UF, const char* name) {
  std::string text;
  component::IgnoreFailure([&] { text = UF[name].value().to_text(); });
  component::IgnoreFailure([&] { UF[name].clear(); });
  component::IgnoreFailure([&] { UF[name].set_value(text); });
  component::IgnoreFailure([&] { UF[name].add_item("无"); });
}

}  // namespace

void FillColumnLists(component::Component& self, host::Application& EA, host::Form& UF,
                     bool use_examinee_sheet) {
  if (!(self.WorkColumn > 0)) return;
  host::Worksheet* sheet = nullptr;
  component::IgnoreFailure([&] {
    sheet = &EA.workbooks()
                 .item(self.DataBookName)
                 .worksheets()
                 .item(use_examinee_sheet ? kExamineeSheet : kRoomSheet);
  });
  RefillKeepingText(UF, "CmbPaiXv");
  RefillKeepingText(UF, "CmbHuanYe");
  int32_t n = 0;
  component::IgnoreFailure([&] { n = Set(sheet).cells(1, 1).current_region().columns_count(); });
  for (int32_t i = 1; i <= n; ++i) {
    component::IgnoreFailure([&] { UF["CmbPaiXv"].add_item(Set(sheet).cells(1, i).value()); });
    component::IgnoreFailure([&] { UF["CmbHuanYe"].add_item(Set(sheet).cells(1, i).value()); });
  }

  // The keep-apart list always offers the examinee sheet's headings; a form
  // without it is left as it is.
  if (component::OptionalControl(UF, "CmbFenKai") == nullptr) return;
  host::Worksheet* examinees = nullptr;
  component::IgnoreFailure([&] {
    examinees = &EA.workbooks().item(self.DataBookName).worksheets().item(kExamineeSheet);
  });
  RefillKeepingText(UF, "CmbFenKai");
  int32_t m = 0;
  component::IgnoreFailure(
      [&] { m = Set(examinees).cells(1, 1).current_region().columns_count(); });
  for (int32_t i = 1; i <= m; ++i)
    component::IgnoreFailure([&] { UF["CmbFenKai"].add_item(Set(examinees).cells(1, i).value()); });
}

}  // namespace kelv::sheets
