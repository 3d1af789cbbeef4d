// Served: kelv's own objects offered to scripts. The automation face of
// kelv's spreadsheet engine and form model, kelv.Application and kelv.Form, with the object model's
// names (Workbooks, ThisWorkbook, Worksheets, Cells, Range, Value, ...; Controls("Name").Value,
// List, ListIndex, ...). Scripts drive kelv's engine through them, and a
// torb handed them works on the engine directly.
#pragma once

#include <memory>

#include "automation/com.h"
#include "host/application.h"
#include "host/dialogs.h"
#include "host/environment.h"
#include "host/form.h"

namespace kelv::spreadsheet {
class Engine;
}

namespace kelv::automation {

// kelv's own objects behind an IDispatch, for a torb that is handed one.
// Not marshalled: it is reached only inside the process.
struct INativeHost : IUnknown {
  virtual host::Application* STDMETHODCALLTYPE application() = 0;
  virtual host::Form* STDMETHODCALLTYPE form() = 0;
  virtual host::Dialogs* STDMETHODCALLTYPE dialogs() = 0;
  virtual host::Environment* STDMETHODCALLTYPE environment() = 0;
};
extern const IID IID_INativeHost;

// kelv.Application over a new engine that reads and writes .xlsx files. Its
// dialogs are answered from a queue (Answer) and written down (DialogCount,
// DialogKind, DialogText), its random numbers come from RandomSeed.
IDispatch* new_application();
// kelv.Application over an engine someone else owns (the scenario
// runner's), with its dialogs and environment. They outlive the object.
IDispatch* wrap_application(spreadsheet::Engine& app, host::Dialogs& dialogs,
                            host::Environment& env);
// kelv.Form over a new form with every control the component names.
IDispatch* new_form();
// kelv.Form over a form someone else owns.
IDispatch* wrap_form(host::Form& form);

}  // namespace kelv::automation
