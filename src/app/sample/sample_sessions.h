// The sample's whole exam beyond one sitting: elective subjects under the
// 3+1+2 scheme, a timetable 场次表 of eight 场次, the setting that keeps each
// combination together in 编排考号, and an admission card with every
// paper's room and seat.
#pragma once

#include <cstdint>
#include <ostream>

#include "app/core/workspace.h"
#include "spreadsheet/model.h"

namespace kelv::sample {

// The admission card template with a line per paper.
inline constexpr const char* kSessionCardTemplate = "场次准考证";

// Adds them to the sample's host and data workbooks before they are saved:
// 选考科目 on 考生表 (one combination per room's worth of examinees, written
// in the spellings schools use), 场次表, DTB BI6 (keep combinations
// together) and the template 场次准考证 with its catalogue row.
void add_sample_sessions(spreadsheet::Workbook& host, spreadsheet::Workbook& data, uint32_t seed);
// The template 场次准考证 and its catalogue row alone, with the setting
// that keeps combinations together (BI6) on.
void add_session_card_template(spreadsheet::Workbook& host);

// What the demo does after 编排考号: 场次编排 on the data workbook, the
// per-session workbooks saved beside it; a line of what was done on `out`.
// Throws std::runtime_error when the arrangement refuses.
void run_sample_sessions(app::Workspace& workspace, const app::Questions& questions,
                         host::Workbook& data, std::ostream& out);

}  // namespace kelv::sample
