// The exam-level work every front end starts the same way: 场次编排 and its
// draft timetable, and 监考安排, on the data workbook the workspace has open. Each call
// returns a WorkReport a front end shows as it shows the component's work:
// what was done, or why nothing was, with the problems a line each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/core/work_report.h"
#include "app/core/workspace.h"
#include "host/dialogs.h"
#include "invigilation/rota_model.h"
#include "sessions/problem.h"

namespace kelv::app {

// The names of the work in reports and status lines.
inline constexpr const char* kArrangeSessionsWork = "场次编排";
inline constexpr const char* kSuggestTimetableWork = "拟场次表";
inline constexpr const char* kInvigilateWork = "安排监考";

// "[错误] 考生表 第 3 行 “选考科目”列 值“物化x”：…".
std::string problem_line(const sessions::Problem& problem);

// Every 场次 of the open data workbook's 场次表 seated (see
// sessions::ArrangeSessions); the per-session workbooks it adds are listed
// in the data list. With an error among the problems nothing is written and
// the report's notes name them. Nothing is saved.
WorkReport arrange_sessions(Workspace& workspace, std::optional<uint64_t> seed);

// A draft 场次表 written into the open data workbook from who sits which
// paper; `dialogs` asks before an existing 场次表 is replaced. Nothing is
// saved.
WorkReport suggest_timetable(Workspace& workspace, host::Dialogs& dialogs);

// The invigilators of every room of every 场次 (one sitting without a
// 场次表) from 监考表 of `data` (see invigilation::Invigilate), with the
// rules the settings store; `fresh` drops the names typed in before. The
// report's notes are the rota's lines; nothing is written when it cannot be
// done. Nothing is saved.
WorkReport invigilate(Workspace& workspace, host::Workbook& data, std::optional<uint64_t> seed,
                      bool fresh);
// The switchable rules, stored in the host workbook's settings (unsaved
// until the next save).
invigilation::Rules rota_rules(Workspace& workspace);
void set_rota_rules(Workspace& workspace, const invigilation::Rules& rules);

// Whether 编排考号 keeps each elective combination in neighbouring rooms
// (stored in the host workbook's settings); unsaved until the next save.
void set_keep_combinations(Workspace& workspace, bool keep);
bool keeps_combinations(Workspace& workspace);

}  // namespace kelv::app
