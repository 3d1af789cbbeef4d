// MyFunSet: each setting control of the form, when it changes, is written
// to the settings sheet. Eight controls belong to the selected template's
// catalogue row, six to the exam settings block shared by all templates.
#pragma once

#include <cstdint>
#include <string_view>

#include "component/component.h"
#include "host/application.h"
#include "host/form.h"

namespace kelv::templates {

// Calls the writer of the control named strFlag (compared exactly); a name
// it does not know does nothing. No trap: failures go to the caller.
void RouteSetting(component::Component& self, host::Application& EA, host::Form& UF,
                  std::string_view strFlag);

// TxtHang, TxtLie: the box's value as a whole number clamped to 1..300,
// written back into the box and into the selected template's row.
void SaveLayoutCount(host::Application& EA, host::Form& UF, std::string_view name, int32_t column);
// TxtHJv, TxtLJv: the same, clamped to 0..300.
void SaveLayoutSpacing(host::Application& EA, host::Form& UF, std::string_view name,
                       int32_t column);
// CmbPaiXv, CmbHuanYe, ChbHengPai: the control's value as it is, once the
// form is ready.
void SaveTemplateValue(component::Component& self, host::Application& EA, host::Form& UF,
                       std::string_view name, int32_t column);
// ChbSJYuan: the box as a Boolean, once the form is ready; the column lists
// then follow the new data source.
void SaveDataSource(component::Component& self, host::Application& EA, host::Form& UF,
                    std::string_view name, int32_t column);
// TxtSKHao, TxtXHShu: the control's value as it is, at any time.
void SaveExamSetting(host::Application& EA, host::Form& UF, std::string_view name, int32_t row,
                     int32_t column);
// The option pairs: flag into (row, column) and its negation below it, once
// the form is ready.
void SaveOptionPair(component::Component& self, host::Application& EA, int32_t row, int32_t column,
                    bool flag);

}  // namespace kelv::templates
