#include "bridge/torb.h"

#include <exception>
#include <new>
#include <string>

#include "arrange/assign_exam_numbers.h"
#include "bridge/form_startup.h"
#include "bridge/switch_page.h"
#include "data/open_data_workbook.h"
#include "generate/generate_tables.h"
#include "help/help_document.h"
#include "host/host_error.h"
#include "templates/select_template.h"
#include "templates/setting_persistence.h"
#include "templates/template_catalogue.h"

namespace kelv::bridge {
namespace {

// The help row passes EA alone.
void MyHelp(component::Component& self, host::Application& EA, host::Form&) {
  help::OpenHelpDocument(self, EA);
}

// Searched in order, exactly and case-sensitively; the first match is called.
// Rows keep this order: LtbBiaoClick, LtbMoBanClick, CmdAddMBClick,
// CmdDelMBClick, CmdEditMBClick, CmdDoKaoHaoClick, CmdDoYongBiaoClick,
// MultiPage1Change, UserFormInitialize, MyHelp.
constexpr EventRow kEvents[] = {
    {"LtbBiaoClick", data::OpenDataWorkbook},
    {"LtbMoBanClick", templates::SelectTemplate},
    {"CmdAddMBClick", templates::AddTemplate},
    {"CmdDelMBClick", templates::DeleteTemplate},
    {"CmdEditMBClick", templates::RenameTemplate},
    {"CmdDoKaoHaoClick", arrange::AssignExamNumbers},
    {"CmdDoYongBiaoClick", generate::GenerateTables},
    {"MultiPage1Change", SwitchPage},
    {"UserFormInitialize", FormStartUp},
    {"MyHelp", MyHelp},
};

void ShowErrorBox(component::Component& self, const host::HostError& e) {
  ++self.error_boxes_shown;
  self.dialogs.message_box(ErrorBoxText(e), host::MessageButtons::Ok, host::MessageIcon::Critical,
                           "错误");
}

// Runs one stretch under the trap. Failures that are not the host's or the
// component's own (a broken invariant, memory) still reach the error box,
// under the component's source.
template <class Stretch, class OnFailure>
void Trapped(Stretch&& stretch, OnFailure&& on_failure) {
  try {
    stretch();
  } catch (const host::HostError& e) {
    on_failure(e);
  } catch (const std::bad_alloc&) {
    on_failure(host::HostError(host::kComponentSource, host::kOutOfMemory,
                               host::standard_description(host::kOutOfMemory)));
  } catch (const std::exception& e) {
    on_failure(host::HostError(host::kComponentSource, host::kInvalidArgument, e.what()));
  } catch (...) {
    on_failure(host::HostError(host::kComponentSource, host::kInvalidArgument,
                               host::standard_description(host::kInvalidArgument)));
  }
}

}  // namespace

std::string ErrorBoxText(const host::HostError& e) {
  return e.source() + "：(" + std::to_string(e.number()) + ")" + e.description();
}

std::span<const EventRow> EventTable() {
  return kEvents;
}

void Dispatch(component::Component& self, host::Application& EA, host::Form& UF,
              std::string_view strFlag, std::span<const EventRow> table) {
  bool box_shown = false;
  auto error_box = [&](const host::HostError& e) {
    if (box_shown) return;
    box_shown = true;
    try {
      ShowErrorBox(self, e);
    } catch (...) {
      // The dialog layer itself is gone; there is nobody left to tell.
    }
  };

  Trapped(
      [&] {
        EA.set_screen_updating(false);
        EA.set_display_alerts(false);
        const std::string flag(strFlag);
        for (const EventRow& row : table) {
          if (row.name == flag) {
            row.handler(self, EA, UF);
            break;
          }
        }
      },
      error_box);

  // Exit step. Each setting is restored on its own, so a refused
  // DisplayAlerts still gets screen updating back on.
  Trapped([&] { EA.set_display_alerts(true); }, error_box);
  Trapped([&] { EA.set_screen_updating(true); }, error_box);
}

host::Variant torb::MyFunClick(host::Application& EA, host::Form& UF, std::string_view strFlag) {
  Dispatch(self_, EA, UF, strFlag, kEvents);
  return host::Variant();
}

host::Variant torb::MyFunSet(host::Application& EA, host::Form& UF, std::string_view strFlag) {
  templates::RouteSetting(self_, EA, UF, strFlag);
  return host::Variant();
}

}  // namespace kelv::bridge
