#include "app/core/session_findings.h"

#include <algorithm>
#include <set>
#include <string>

#include "sessions/arrange_sessions.h"
#include "sessions/timetable.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"

namespace kelv::app {

void add_session_findings(host::Workbook& data_book, std::vector<Finding>& findings) {
  const sessions::Timetable timetable = sessions::ReadTimetable(data_book);
  if (!timetable.present) return;
  std::set<std::string> later;  // fields the session arrangement will write
  for (const sessions::Paper& p : timetable.papers) {
    later.insert("[" + p.subject + sheets::kPaperRoomSuffix + "]");
    later.insert("[" + p.subject + sheets::kPaperSeatSuffix + "]");
  }
  for (Finding& f : findings)
    if (f.severity == Severity::Error && f.sheet == sheets::kExamineeSheet &&
        later.count(f.value)) {
      f.severity = Severity::Notice;
      f.message += "（这一列由场次编排写入：先编排场次，再生成这个模板）";
    }
  for (const sessions::Problem& p : sessions::CheckSessions(data_book)) {
    Finding f;
    f.severity = p.level == sessions::ProblemLevel::Error ? Severity::Error : Severity::Notice;
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
