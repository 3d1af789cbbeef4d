#include "app/core/session_findings.h"

#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "sessions/arrange_sessions.h"
#include "sessions/timetable.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::app {

namespace {

// The template a missing-field finding names: 模板“准考证”的字段….
std::string template_of(const Finding& f) {
  const std::string open = "模板“";
  const size_t from = f.message.find(open);
  if (from == std::string::npos) return {};
  const size_t start = from + open.size();
  const size_t end = f.message.find("”", start);
  return end == std::string::npos ? std::string() : f.message.substr(start, end - start);
}

// "[物理考场]", "[生物座号]": a field of a column the session arrangement
// writes on the main data workbook's examinee sheet.
bool is_paper_field(const std::string& field) {
  for (const char* suffix : {sheets::kPaperRoomSuffix, sheets::kPaperSeatSuffix}) {
    std::string tail = suffix;
    tail += ']';
    if (field.size() > tail.size() + 1 && field.front() == '[' &&
        field.compare(field.size() - tail.size(), tail.size(), tail) == 0)
      return true;
  }
  return false;
}

// Replaces the missing-field errors `folded` picks with one notice per
// template, "模板“场次准考证”的 12 个字段（[物理考场]、[历史考场]、[化学考场] 等）"
// followed by `why`.
void fold_fields(std::vector<Finding>& findings, const std::function<bool(const Finding&)>& folded,
                 const std::string& why) {
  struct Folded {
    std::string name;
    Finding first;
    std::vector<std::string> fields;
  };
  std::vector<Finding> kept;
  std::vector<Folded> notices;
  for (Finding& f : findings) {
    std::string name = template_of(f);
    if (f.severity != Severity::Error || name.empty() || !folded(f)) {
      kept.push_back(std::move(f));
      continue;
    }
    auto it = std::find_if(notices.begin(), notices.end(),
                           [&](const Folded& n) { return n.name == name; });
    if (it == notices.end()) {
      notices.push_back(Folded{std::move(name), f, {}});
      it = notices.end() - 1;
    }
    it->fields.push_back(f.value);
  }
  for (Folded& n : notices) {
    Finding f = std::move(n.first);
    std::string list;
    for (size_t i = 0; i < n.fields.size() && i < 3; ++i) {
      if (i > 0) list += "、";
      list += n.fields[i];
    }
    if (n.fields.size() > 3) list += " 等";
    f.severity = Severity::Notice;
    f.value.clear();
    f.message = "模板“";
    f.message += n.name;
    f.message += "”的 ";
    f.message += std::to_string(n.fields.size());
    f.message += " 个字段（";
    f.message += list;
    f.message += "）";
    f.message += why;
    kept.push_back(std::move(f));
  }
  findings = std::move(kept);
}

}  // namespace

void add_session_findings(host::Workbook& data_book, std::vector<Finding>& findings) {
  // A workbook of one 场次 never has the main workbook's per-paper columns.
  if (sheets::SheetExists(data_book.worksheets(), sheets::kSessionBookMarkSheet)) {
    fold_fields(
        findings,
        [](const Finding& f) {
          return f.sheet == sheets::kExamineeSheet && is_paper_field(f.value);
        },
        "是主数据工作簿考生表的场次列，一个场次的数据工作簿里没有：请从主数据工作簿生成这个模板");
    return;
  }
  const sessions::Timetable timetable = sessions::ReadTimetable(data_book);
  if (!timetable.present) return;
  std::set<std::string> later;  // fields the session arrangement will write
  for (const sessions::Paper& p : timetable.papers) {
    later.insert("[" + p.subject + sheets::kPaperRoomSuffix + "]");
    later.insert("[" + p.subject + sheets::kPaperSeatSuffix + "]");
  }
  fold_fields(
      findings,
      [&](const Finding& f) {
        return f.sheet == sheets::kExamineeSheet && later.count(f.value) > 0;
      },
      "由场次编排写入考生表：先编排场次，再生成这个模板");
  for (const sessions::Problem& p : sessions::CheckSessions(data_book))
    findings.push_back(located_finding(
        p.level == sessions::ProblemLevel::Error ? Severity::Error : Severity::Notice,
        data_book.name(), p.sheet, p.row, p.heading, p.value, p.message));
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return static_cast<int>(a.severity) < static_cast<int>(b.severity);
  });
}

}  // namespace kelv::app
