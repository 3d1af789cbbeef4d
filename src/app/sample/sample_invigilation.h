// The sample's invigilators: a 监考表 in the data workbook, the duty-slip
// template 监考通知 in the host workbook, and the demo's steps for them
// (the rota after the assignment, the slips printed from the workbook the
// rota writes for them).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/core/workspace.h"
#include "host/workbook.h"
#include "spreadsheet/model.h"

namespace kelv::sample {

inline constexpr const char* kDutySlipTemplate = "监考通知";

// 监考表 after the other sheets of the sample's data workbook: three
// teachers for every room, a quarter of them with a class of their own,
// one away (不监考 1).
void add_invigilator_sheet(spreadsheet::Workbook& data, int32_t rooms, uint32_t seed);

// The duty-slip template: a page per teacher (换页列 姓名), a header with
// the teacher's name, subject, duties and half-days, a line per duty.
void add_duty_slip_template(spreadsheet::Workbook& host);

// The demo's rota of the sample's data workbook (seeded like the rest of
// the demo); a line of what it did.
std::string arrange_sample_invigilators(app::Workspace& workspace, host::Workbook& data,
                                        uint64_t seed);

// Generates `template_name` from the open workbook `book_name` through
// the form, as a person would: the workbook added to the data list and
// clicked, the template chosen, generated. The demo prints the duty slips
// from the rota's slip workbook and a 场次's door lists from that 场次's
// workbook this way. The workbook, or nullptr when none of that name is
// open.
host::Workbook* generate_from(app::Workspace& workspace,
                              const std::function<void(std::string_view)>& click,
                              const std::string& book_name, const std::string& template_name);

}  // namespace kelv::sample
