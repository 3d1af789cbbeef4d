// 监考安排, the whole operation: read the data workbook, check it, solve
// the rota and, only when every room of every sitting is staffed, write it.
// When it cannot be done nothing is written and the report says, with
// numbers, where and why, and what would make it possible. Front ends call
// Invigilate and show the report; the check before the work is
// CheckInvigilation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/environment.h"
#include "host/workbook.h"
#include "invigilation/rota_input.h"
#include "invigilation/rota_model.h"
#include "invigilation/rota_output.h"

namespace kelv::invigilation {

// The two rules the officer can switch off, as the settings sheet DTB of
// the host workbook stores them (an empty cell: on).
Rules RulesFromSettings(host::Workbook& host_book);
// Stores them there, TRUE or FALSE, for every later rota and check. Throws
// HostError when the host workbook has no settings sheet.
void StoreRules(host::Workbook& host_book, const Rules& rules);

struct InvigilationSettings {
  Rules rules;
  bool fresh = false;            // a fresh rota: typed names are not kept
  std::optional<uint64_t> seed;  // none: drawn from the environment
};

struct GroupSpread {
  std::optional<int32_t> max_duties;  // the group's 最多场数 (none: not limited)
  int32_t teachers = 0, fewest = 0, most = 0;
};

struct InvigilationReport {
  bool done = false;
  uint64_t seed = 0;
  std::vector<InputProblem> problems;  // errors stop the work; notices do not
  std::vector<std::string> shortfall;  // why it cannot be done
  // When done:
  int64_t duties = 0, kept = 0;  // all duties; of them typed in before
  int32_t teachers = 0, sittings = 0, rooms = 0;
  int32_t half_days = 0, repeated_rooms = 0;
  std::vector<GroupSpread> groups;  // duties per group of the same 最多场数
  Written written;
};

InvigilationReport Invigilate(host::Application& EA, host::Environment& env,
                              host::Workbook& data_book, const InvigilationSettings& settings,
                              const NewWorkbook& new_workbook);

// The check before the work: every problem the rota would stop at, with
// sheet, row and value, and when the rooms cannot all be staffed the
// reasons as errors too. Nothing is written.
std::vector<InputProblem> CheckInvigilation(host::Workbook& data_book, const Rules& rules);

// The report as lines for a person: problems, or reasons, or what was done.
std::vector<std::string> ReportLines(const InvigilationReport& report);

}  // namespace kelv::invigilation
