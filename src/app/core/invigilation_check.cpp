#include "app/core/invigilation_check.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "invigilation/invigilate.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"

namespace kelv::app {

namespace {

bool has_sheet(host::Workbook& book, std::string_view name) {
  for (int32_t i = 0; i < book.sheet_count(); ++i)
    if (book.sheet_at(i).name() == name) return true;
  return false;
}

// The rota's own problems, with the rules the host workbook stores.
void add_rota_problems(host::Workbook& host_book, host::Workbook& data_book,
                       std::vector<Finding>& findings) {
  const invigilation::Rules rules = invigilation::RulesFromSettings(host_book);
  for (const invigilation::InputProblem& p : invigilation::CheckInvigilation(data_book, rules))
    findings.push_back(located_finding(
        p.severity == invigilation::Severity::Error ? Severity::Error : Severity::Notice,
        data_book.name(), p.sheet, p.row, p.heading, p.value, p.message));
}

}  // namespace

void add_invigilation_findings(host::Workbook& host_book, host::Workbook& data_book,
                               std::vector<Finding>& findings) {
  // The duty-slip workbook the rota wrote serves the duty-slip template
  // alone: it is never arranged, and other templates print from the data
  // workbook, so nothing found in it stops the work.
  if (has_sheet(data_book, sheets::kDutySlipMarkSheet)) {
    for (Finding& f : findings)
      if (f.severity == Severity::Error) {
        f.severity = Severity::Notice;
        f.message += "（本工作簿是安排监考写出的监考通知工作簿，只用来生成监考通知）";
      }
    return;
  }
  const bool has_teachers = has_sheet(data_book, sheets::kInvigilatorSheet);
  if (!has_teachers && !has_sheet(data_book, sheets::kSessionBookMarkSheet)) return;
  // A duty-slip template reads the workbook the rota writes, not this one
  // nor a 场次's: its fields missing here do not stop anything.
  std::set<std::string> slip_fields;
  for (std::string_view h : sheets::kDutySlipHeadings) {
    std::string field(1, '[');
    field.append(h).push_back(']');
    slip_fields.insert(std::move(field));
  }
  const std::string slips =
      has_teachers ? "“" + sheets::DutySlipBookName(data_book.name()) + "”" : std::string();
  for (Finding& f : findings)
    if (f.severity == Severity::Error && f.sheet == sheets::kExamineeSheet &&
        slip_fields.count(f.value)) {
      f.severity = Severity::Notice;
      f.message += "（监考通知模板用安排监考写出的监考通知工作簿" + slips + "生成，不用本工作簿）";
    }
  if (has_teachers) add_rota_problems(host_book, data_book, findings);
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return static_cast<int>(a.severity) < static_cast<int>(b.severity);
  });
}

}  // namespace kelv::app
