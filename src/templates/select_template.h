// Template selection (LtbMoBanClick): the chosen template becomes the
// current one, its settings come into the form and its sheet is shown with
// its markers tidied.
#pragma once

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"
#include "host/worksheet.h"

namespace kelv::templates {

// Does nothing before start-up has finished or while the list is empty;
// selects the first template when none is. Flags the template's row in
// column D, loads F..M into the eight setting controls, refills the column
// lists for its data source and shows its sheet, or tells that the sheet is
// missing. No trap of its own: host failures go to the caller.
void SelectTemplate(component::Component& self, host::Application& EA, host::Form& UF);

// Turns full-width marker characters into ASCII ones across the used range,
// strips spaces and line breaks from every cell holding [ { @ or #, gives
// the cells that are exactly "@" or "#" the marker format, and sets column A
// narrow and right-aligned with A1 left-aligned. Leaves the application's
// replace format set to the marker format.
void NormaliseMarkers(host::Application& EA, host::Worksheet& sheet);

}  // namespace kelv::templates
