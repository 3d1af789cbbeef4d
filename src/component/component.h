// The state of one torb object and the services its handlers reach besides
// the application and the form: dialogs and the operating system. Every
// handler takes the component, EA and UF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/dialogs.h"
#include "host/environment.h"
#include "host/form.h"
#include "host/host_error.h"

namespace kelv::component {

struct Component {
  Component(host::Dialogs& d, host::Environment& e) : dialogs(d), env(e) {}

  // Name of the data workbook currently open in the host; "" until one is.
  std::string DataBookName;
  // Column of the scratch copy of the data table: 168 once a data workbook
  // with both sheets has been opened, else 0.
  int32_t WorkColumn = 0;
  // False while form start-up runs, True once it has finished.
  bool FormReady = false;

  host::Dialogs& dialogs;
  host::Environment& env;

  // How many times the error box was shown; front ends compare it before
  // and after an event to tell a run that stopped from one that finished.
  int64_t error_boxes_shown = 0;
};

// A notice the user can act on: OK button, no icon, title "提示".
inline void ShowNotice(Component& self, std::string_view text) {
  self.dialogs.message_box(text, host::MessageButtons::Ok, host::MessageIcon::None, "提示");
}

// A control the form may lack (controls added to the form in later
// versions): nullptr when the form has none of that name, so a form without
// it works as it always did.
inline host::Control* OptionalControl(host::Form& UF, std::string_view name) {
  try {
    return &UF.control(name);
  } catch (const host::HostError& e) {
    if (e.number() != host::kSubscriptOutOfRange) throw;
    return nullptr;
  }
}

// The end-of-work signal of long operations.
inline void SignalDone(Component& self) {
  self.dialogs.tone(360, 36);
}

}  // namespace kelv::component
