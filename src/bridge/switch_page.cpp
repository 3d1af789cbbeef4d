#include "bridge/switch_page.h"

#include <string>

#include "bridge/ignore_failures.h"
#include "data/data_workbook.h"
#include "templates/select_template.h"

namespace kelv::bridge {

void SwitchPage(Component& self, host::Application& EA, host::Form& UF) {
  std::string name;
  IgnoreFailure([&] { name = UF["MultiPage1"].selected_page(); });
  if (name == "Page0") {
    if (!self.DataBookName.empty()) {
      IgnoreFailure([&] {
        EA.workbooks().item(self.DataBookName).worksheets().item(data::kExamineeSheet).activate();
      });
    }
  } else if (name == "Page1") {
    IgnoreFailure([&] { templates::SelectTemplate(self, EA, UF); });
  }
}

}  // namespace kelv::bridge
