// The template catalogue: the list LtbMoBan, and adding, deleting and
// renaming templates. A template is a row of the settings sheet's catalogue
// plus a sheet of the host workbook copied from the base sheet "MBB".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"
#include "host/worksheet.h"

namespace kelv::templates {

// Rebuilds LtbMoBan from column E of the catalogue, in catalogue order, and
// selects the row flagged True in column D. Loads no settings.
void FillTemplateList(component::Component& self, host::Application& EA, host::Form& UF);

// The name dialogue of add and rename. Shows the input box with `candidate`
// as default text, then cleans the answer (trimmed, upper-cased, the
// characters that sheet names refuse taken out) and asks again for as long
// as it names a system sheet or another sheet of the host workbook
// (ignoring case), or equals one of E2..E(n). Returns the accepted name, or
// "" when the user cancels or the cleaned answer is empty.
std::string AskTemplateName(component::Component& self, host::Application& EA, host::Worksheet& DTB,
                            int32_t n, std::string_view prompt, std::string_view title,
                            std::string candidate);

// CmdAddMBClick, CmdDelMBClick, CmdEditMBClick. Each statement ignores its
// own failure and the next one runs; none of them reports a failure.
void AddTemplate(component::Component& self, host::Application& EA, host::Form& UF);
void DeleteTemplate(component::Component& self, host::Application& EA, host::Form& UF);
void RenameTemplate(component::Component& self, host::Application& EA, host::Form& UF);

// The text A1 of a template sheet carries: "<NAME 模板设计>".
std::string TemplateCaption(std::string_view name);

// The cleaning of a typed name: spaces trimmed at both ends, upper case,
// then every [ ［ ] ］ / ／ \ ＼ ? ？ * ＊ : ： removed.
std::string CleanTemplateName(std::string_view typed);

}  // namespace kelv::templates
