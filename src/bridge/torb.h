// torb: the component's public surface. The host form creates one object for
// its lifetime and forwards every event by name: clicks, page changes and
// start-up to MyFunClick, setting changes to MyFunSet.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"
#include "host/host_error.h"
#include "host/variant.h"

namespace kelv::bridge {

using Handler = void (*)(component::Component& self, host::Application& EA, host::Form& UF);

// One row of an event table: an event name and the handler it calls.
struct EventRow {
  std::string_view name;
  Handler handler;
};

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
  const component::Component& state() const { return self_; }
  component::Component& state() { return self_; }

 private:
  component::Component self_;
};

// What MyFunClick does, over any event table: ScreenUpdating and
// DisplayAlerts off, the first row whose name equals strFlag exactly, then
// DisplayAlerts and ScreenUpdating on again. A failure shows the error box
// once and goes on with the exit step; a failing exit step never shows a
// second box. Nothing the handler did before failing is undone.
void Dispatch(component::Component& self, host::Application& EA, host::Form& UF,
              std::string_view strFlag, std::span<const EventRow> table);

// The event table MyFunClick routes through, in the order it is searched.
std::span<const EventRow> EventTable();

// The error box text: SOURCE：(N)DESCRIPTION.
std::string ErrorBoxText(const host::HostError& e);

}  // namespace kelv::bridge
