#include "sessions/timetable.h"

#include <algorithm>
#include <map>

#include "sessions/text.h"
#include "sheets/elective_subjects.h"
#include "sheets/exam_sheets.h"
#include "sheets/sheet_lookup.h"

namespace kelv::sessions {
namespace {

using sheets::kTimetableSheet;

// The column of a heading in row 1 within the sheet's used columns; 0 when none.
int32_t HeadingColumn(host::Worksheet& sheet, int32_t last_col, const char* heading) {
  for (int32_t c = 1; c <= last_col; ++c)
    if (Trimmed(sheet.cell_value(1, c).to_text()) == heading) return c;
  return 0;
}

CellCopy CopyOf(host::Worksheet& sheet, int32_t row, int32_t col) {
  if (col == 0) return {};
  return {sheet.cell_value(row, col), sheet.number_format(row, col)};
}

bool Blank(const CellCopy& cell) {
  return cell.value.is_empty() || Trimmed(cell.value.to_text()).empty();
}

}  // namespace

std::string SessionLabel(const Session& session) {
  return sheets::SessionLabel(session.name);
}

Timetable ReadTimetable(host::Workbook& data_book) {
  Timetable t;
  if (!sheets::SheetExists(data_book.worksheets(), kTimetableSheet)) return t;
  t.present = true;
  host::Worksheet& sheet = data_book.worksheets().item(kTimetableSheet);
  const host::Rect used = sheet.used_rect();
  const int32_t last_row = used.row2, last_col = used.col2;
  const int32_t session_col = HeadingColumn(sheet, last_col, sheets::kSessionHeading);
  const int32_t subject_col = HeadingColumn(sheet, last_col, sheets::kSubjectHeading);
  const int32_t date_col = HeadingColumn(sheet, last_col, sheets::kDateHeading);
  const int32_t start_col = HeadingColumn(sheet, last_col, sheets::kStartHeading);
  const int32_t end_col = HeadingColumn(sheet, last_col, sheets::kEndHeading);
  const int32_t rooms_col = HeadingColumn(sheet, last_col, sheets::kPaperRoomsHeading);
  const int32_t remark_col = HeadingColumn(sheet, last_col, sheets::kRemarkHeading);
  auto problem = [&](ProblemLevel level, int32_t row, const std::string& heading,
                     const std::string& value, std::string message) {
    t.problems.push_back({level, kTimetableSheet, row, heading, value, std::move(message)});
  };
  for (const auto& [col, heading] : {std::pair{session_col, sheets::kSessionHeading},
                                     std::pair{subject_col, sheets::kSubjectHeading}}) {
    if (col == 0)
      problem(ProblemLevel::Error, 1, heading, "",
              std::string("场次表第 1 行没有“") + heading +
                  "”列：请在第 1 行写上列标题场次、科目、日期、开始、结束（可加考场、备注）");
  }
  if (session_col == 0 || subject_col == 0) return t;

  std::map<std::string, int32_t> session_of;
  std::map<std::string, std::vector<int32_t>> rows_of_key;
  for (int32_t r = 2; r <= last_row; ++r) {
    bool empty = true;
    for (int32_t c = 1; c <= last_col && empty; ++c)
      empty = Trimmed(sheet.cell_value(r, c).to_text()).empty();
    if (empty) continue;
    Paper p;
    p.row = r;
    const host::Variant session_value = sheet.cell_value(r, session_col);
    const std::string session = Trimmed(session_value.to_text());
    p.subject = Trimmed(sheet.cell_value(r, subject_col).to_text());
    if (session.empty() || p.subject.empty()) {
      problem(ProblemLevel::Error, r,
              session.empty() ? sheets::kSessionHeading : sheets::kSubjectHeading, "",
              "场次表第 " + std::to_string(r) + " 行没有" + (session.empty() ? "场次" : "科目") +
                  "：请填上，或删去这一行");
      continue;
    }
    const std::string canonical = sheets::CanonicalSubject(p.subject);
    p.key = canonical.empty() ? p.subject : canonical;
    p.date = CopyOf(sheet, r, date_col);
    p.start = CopyOf(sheet, r, start_col);
    p.end = CopyOf(sheet, r, end_col);
    if (rooms_col != 0) p.room_names = SplitNames(sheet.cell_value(r, rooms_col));
    if (remark_col != 0) p.remark = sheet.cell_value(r, remark_col).to_text();
    std::string missing;
    if (Blank(p.date)) missing += "日期";
    if (Blank(p.start)) missing += std::string(missing.empty() ? "" : "、") + "开始时间";
    if (Blank(p.end)) missing += std::string(missing.empty() ? "" : "、") + "结束时间";
    if (!missing.empty())
      problem(ProblemLevel::Notice, r, "", p.subject,
              "场次表第 " + std::to_string(r) + " 行（" + p.subject + "）没有" + missing +
                  "：场次安排和场次考场里这一格会空着，请补上");
    auto [it, added] = session_of.try_emplace(session, static_cast<int32_t>(t.sessions.size()));
    if (added) t.sessions.push_back({session, session_value, {}});
    p.session = it->second;
    rows_of_key[p.key].push_back(r);
    t.sessions[p.session].papers.push_back(static_cast<int32_t>(t.papers.size()));
    t.papers.push_back(std::move(p));
  }
  for (const auto& [key, rows] : rows_of_key)
    if (rows.size() > 1)
      problem(ProblemLevel::Error, rows.front(), sheets::kSubjectHeading, key,
              "科目“" + key + "”在场次表中写了 " + std::to_string(rows.size()) + " 次（" +
                  RowList(rows) + "）：每科只排一场，请删去多余的行");

  // Numbered sessions in number order; named ones as they come.
  const bool numbered = std::all_of(t.sessions.begin(), t.sessions.end(), [](const Session& s) {
    double d = 0;
    return host::parse_decimal(s.name, &d, false);
  });
  if (numbered && t.sessions.size() > 1) {
    std::vector<int32_t> order(t.sessions.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
    auto number = [&](int32_t i) {
      double d = 0;
      host::parse_decimal(t.sessions[i].name, &d, false);
      return d;
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return number(a) < number(b); });
    std::vector<Session> sorted;
    std::vector<int32_t> new_index(order.size());
    for (size_t k = 0; k < order.size(); ++k) {
      new_index[order[k]] = static_cast<int32_t>(k);
      sorted.push_back(std::move(t.sessions[order[k]]));
    }
    t.sessions = std::move(sorted);
    for (Paper& p : t.papers) p.session = new_index[p.session];
  }
  return t;
}

}  // namespace kelv::sessions
