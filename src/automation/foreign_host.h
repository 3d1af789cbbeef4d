// Used: another application's objects as the component's host. The host
// interfaces over IDispatch: every operation the handlers use is a
// late-bound call into an application's object model by its usual name
// (Workbooks.Open, Worksheets, Cells, Range, Value, Sort with named
// arguments, PageSetup, ...), and the form's controls through
// Controls("Name"). A failure the object reports comes back as the HostError
// with its source, number and description.
#pragma once

#include <memory>

#include "automation/com.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::automation {

// The application behind `app` (which it holds a reference to). Workbooks,
// sheets and controls are the same C++ objects for the same automation
// objects, so handlers may compare them by address.
std::unique_ptr<host::Application> application_over(IDispatch* app);
std::unique_ptr<host::Form> form_over(IDispatch* form);

}  // namespace kelv::automation
