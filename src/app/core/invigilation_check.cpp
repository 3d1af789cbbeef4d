#include "app/core/invigilation_check.h"

#include <algorithm>
#include <set>
#include <string>

#include "invigilation/invigilate.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"

namespace kelv::app {

void add_invigilation_findings(host::Workbook& host_book, host::Workbook& data_book,
                               std::vector<Finding>& findings) {
  bool has_teachers = false;
  for (int32_t i = 0; i < data_book.sheet_count(); ++i)
    has_teachers = has_teachers || data_book.sheet_at(i).name() == sheets::kInvigilatorSheet;
  if (!has_teachers) return;
  // A duty-slip template reads the workbook the rota writes, not this one:
  // its fields missing here do not stop anything.
  std::set<std::string> slip_fields;
  for (std::string_view h : sheets::kDutySlipHeadings) {
    std::string field(1, '[');
    field.append(h).push_back(']');
    slip_fields.insert(std::move(field));
  }
  for (Finding& f : findings)
    if (f.severity == Severity::Error && f.sheet == sheets::kExamineeSheet &&
        slip_fields.count(f.value)) {
      f.severity = Severity::Notice;
      f.message += "（这样的监考通知模板不用本工作簿生成，而用安排监考写出的“" +
                   sheets::DutySlipBookName(data_book.name()) + "”）";
    }
  const invigilation::Rules rules = invigilation::RulesFromSettings(host_book);
  for (const invigilation::InputProblem& p : invigilation::CheckInvigilation(data_book, rules)) {
    Finding f;
    f.severity = p.severity == invigilation::Severity::Error ? Severity::Error : Severity::Notice;
    f.book = data_book.name();
    f.sheet = p.sheet;
    f.row = p.row;
    f.heading = p.heading;
    f.value = p.value;
    f.message = p.message;
    findings.push_back(std::move(f));
  }
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return static_cast<int>(a.severity) < static_cast<int>(b.severity);
  });
}

}  // namespace kelv::app
