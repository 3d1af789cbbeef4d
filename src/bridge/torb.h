// torb: the component's public surface. The host form creates one object for
// its lifetime and forwards every event by name: clicks, page changes and
// start-up to MyFunClick, setting changes to MyFunSet.
#pragma once

#include <string>
#include <string_view>

#include "bridge/component.h"
#include "host/application.h"
#include "host/form.h"
#include "host/host_error.h"
#include "host/variant.h"

namespace kelv::bridge {

class torb {
 public:
  torb(host::Dialogs& dialogs, host::Environment& env) : self_(dialogs, env) {}

  // Routes an event name to its handler inside the screen-updating and
  // alerts bracket. Every failure a handler lets through is shown in the
  // error box; the host always sees a normal return (an empty value).
  host::Variant MyFunClick(host::Application& EA, host::Form& UF, std::string_view strFlag);

  // Stores the value of the setting control named strFlag. No bracket and no
  // error trap: failures return to the caller as HostError.
  host::Variant MyFunSet(host::Application& EA, host::Form& UF, std::string_view strFlag);

  // The object's fields, for front ends and tests.
  const Component& state() const { return self_; }
  Component& state() { return self_; }

 private:
  Component self_;
};

// The error box text: SOURCE：(N)DESCRIPTION.
std::string ErrorBoxText(const host::HostError& e);

}  // namespace kelv::bridge
