// MultiPage1Change: the first page brings the examinee sheet of the data
// workbook to the front, the second shows the selected template.
#pragma once

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::bridge {

// Every statement ignores its own failure, so a page change never reaches
// the error box.
void SwitchPage(component::Component& self, host::Application& EA, host::Form& UF);

}  // namespace kelv::bridge
