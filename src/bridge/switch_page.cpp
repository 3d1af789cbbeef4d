#include "bridge/switch_page.h"

#include <string>

#include "component/ignore_failures.h"
#include "sheets/examinee_sheet.h"
#include "templates/select_template.h"

namespace kelv::bridge {

void SwitchPage(component::Component& self, host::Application& EA, host::Form& UF) {
  std::string name;
  component::IgnoreFailure([&] { name = UF["MultiPage1"].selected_page(); });
  if (name == "Page0") {
    if (!self.DataBookName.empty()) {
      component::IgnoreFailure([&] {
        EA.workbooks().item(self.DataBookName).worksheets().item(sheets::kExamineeSheet).activate();
      });
    }
  } else if (name == "Page1") {
    component::IgnoreFailure([&] { templates::SelectTemplate(self, EA, UF); });
  }
}

}  // namespace kelv::bridge
