#include "app/core/invigilation_check.h"

#include <algorithm>

#include "invigilation/invigilate.h"

namespace kelv::app {

void add_invigilation_findings(host::Workbook& host_book, host::Workbook& data_book,
                               std::vector<Finding>& findings) {
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
