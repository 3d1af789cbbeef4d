// CmdDoYongBiaoClick: the generation command. Produces one output sheet in
// the open data workbook from the template selected in LtbMoBan.
#pragma once

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::generate {

// Reads the form's choices, copies the data sheet's table as values to
// (1, WorkColumn), replaces an earlier output sheet of the template's name
// (capturing its page setup), adds the new sheet after 考生表, renders the
// template into it and applies the page setup, or deletes the sheet again
// when rendering refused. The scratch copy is cleared on every way out.
// A template named like a data sheet, or a data table reaching column 167,
// is refused with a notice before anything changes.
void GenerateTables(component::Component& self, host::Application& EA, host::Form& UF);

}  // namespace kelv::generate
