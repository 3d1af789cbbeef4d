#include "bridge/torb.h"

#include <string>

#include "host/host_error.h"

namespace kelv::bridge {
namespace {

using Handler = void (*)(Component&, host::Application&, host::Form&);

struct EventRow {
  std::string_view name;
  Handler handler;
};

// The event table, compared in order, exactly and case-sensitively.
constexpr EventRow kEvents[] = {
    {"", nullptr},  // placeholder so the table is never empty; never matches a real event
};

void ShowErrorBox(Component& self, const host::HostError& e) {
  self.dialogs.message_box(ErrorBoxText(e), host::MessageButtons::Ok,
                           host::MessageIcon::Critical, "错误");
}

}  // namespace

std::string ErrorBoxText(const host::HostError& e) {
  return e.source() + "：(" + std::to_string(e.number()) + ")" + e.description();
}

host::Variant torb::MyFunClick(host::Application& EA, host::Form& UF, std::string_view strFlag) {
  try {
    EA.set_screen_updating(false);
    EA.set_display_alerts(false);
    const std::string flag(strFlag);
    for (const EventRow& row : kEvents) {
      if (row.handler != nullptr && row.name == flag) {
        row.handler(self_, EA, UF);
        break;
      }
    }
  } catch (const host::HostError& e) {
    ShowErrorBox(self_, e);
  } catch (const std::exception& e) {
    ShowErrorBox(self_, host::HostError(host::kComponentSource, 5, e.what()));
  }
  // Exit step. A failure here is not shown again: the error box has already
  // told the user what went wrong, and showing it once per exit would loop.
  try {
    EA.set_display_alerts(true);
    EA.set_screen_updating(true);
  } catch (const std::exception&) {
  }
  return host::Variant();
}

host::Variant torb::MyFunSet(host::Application& EA, host::Form& UF, std::string_view strFlag) {
  (void)EA;
  (void)UF;
  (void)strFlag;
  return host::Variant();
}

}  // namespace kelv::bridge
