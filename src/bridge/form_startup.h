// UserFormInitialize: fills the form from the settings sheet when it opens.
#pragma once

#include <string_view>

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::bridge {

// Clears FormReady; restores the exam-number settings and option pairs;
// rebuilds column A of the settings sheet from the data folder's files,
// sorted, and lists them in LtbBiao; fills the template list; makes the
// form resizable; sets FormReady. A failure stops it with FormReady False.
void FormStartUp(component::Component& self, host::Application& EA, host::Form& UF);

// Gives the form's window a resizable frame and a minimise box; where that
// fails (no such window) the form keeps its fixed frame.
void MakeFormResizable(component::Component& self, std::string_view caption);

}  // namespace kelv::bridge
