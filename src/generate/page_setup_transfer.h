// The page setup a template remembers for its output sheets: captured from
// an earlier output sheet before it is replaced, applied to every new one
// with fixed margins. Every statement ignores its own failure, so a value the
// host refuses leaves that cell or property as it was and the rest still
// transfer.
#pragma once

#include <cstdint>
#include <string>

#include "component/component.h"
#include "host/application.h"
#include "host/page_setup.h"

namespace kelv::generate {

// The nine transferred properties in their stored order (k = 1..9):
// settings columns 20 + k of a template's row, 90 + k of the capture row.
inline constexpr host::PageSetupProperty kTransferredPageSetup[] = {
    host::PageSetupProperty::LeftFooter,   host::PageSetupProperty::CenterFooter,
    host::PageSetupProperty::RightFooter,  host::PageSetupProperty::TopMargin,
    host::PageSetupProperty::BottomMargin, host::PageSetupProperty::Orientation,
    host::PageSetupProperty::PaperSize,    host::PageSetupProperty::Zoom,
    host::PageSetupProperty::PrintQuality,
};

// Captures the page setup of the data workbook's sheet `sheet_name` into
// CM2:CU2 of the settings sheet and sets the carry-over flag CL2.
void SavePageSetup(component::Component& self, host::Application& EA,
                   const std::string& sheet_name);

// Moves a waiting capture into the template's row r (columns U..AC), then
// applies that row's nine values and the fixed margins (header 2, footer 10,
// left 2, right 2 points, centred horizontally) to the sheet `sheet_name`.
void ApplyPageSetup(component::Component& self, host::Application& EA,
                    const std::string& sheet_name, int32_t r);

}  // namespace kelv::generate
