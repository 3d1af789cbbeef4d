#include "sessions/exam_data.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <unordered_map>

#include "host/host_error.h"
#include "sessions/text.h"
#include "sheets/elective_subjects.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::sessions {
namespace {

using sheets::kExamineeSheet;
using sheets::kRoomSheet;

// A whole number of 每列座数, or 0 for an empty or unusable cell (the main
// arrangement's check names those).
int32_t PerColumn(const host::Variant& v) {
  double d = 0;
  if (v.is_number()) {
    d = v.as_number();
  } else if (!host::parse_decimal(Trimmed(v.to_text()), &d, true)) {
    return 0;
  }
  return d >= 1 && d <= 10000 && d == std::floor(d) ? static_cast<int32_t>(d) : 0;
}

void ReadRooms(host::Worksheet& sheet, ExamData& data) {
  const int32_t R = sheet.cells(1, 1).current_region().rows_count();
  const int32_t per_column_col = sheets::FindHeaderColumn(sheet, 1, sheets::kSeatsPerColumnHeading);
  int64_t before = 0;
  for (int32_t r = sheets::kRoomFirstRow; r <= R; ++r) {
    Room room;
    room.row = r;
    room.name = sheet.cell_value(r, sheets::kRoomNameColumn).to_text();
    try {
      room.places = std::max(sheet.cell_value(r, sheets::kRoomPlacesColumn).to_int32(), 0);
    } catch (const host::HostError&) {
      const std::string v = sheet.cell_value(r, sheets::kRoomPlacesColumn).to_text();
      data.problems.push_back({ProblemLevel::Error, kRoomSheet, r, "场人", v,
                               "考场表第 " + std::to_string(r) + " 行的场人“" + v +
                                   "”不是数字：请写这个考场能坐的人数"});
    }
    room.location = sheet.cell_value(r, sheets::kRoomLocationColumn).to_text();
    room.invigilator_a = sheet.cell_value(r, sheets::kRoomInvigilatorAColumn).to_text();
    room.invigilator_b = sheet.cell_value(r, sheets::kRoomInvigilatorBColumn).to_text();
    if (per_column_col != 0) room.per_column = PerColumn(sheet.cell_value(r, per_column_col));
    room.places_before = before;
    before += room.places;
    data.rooms.push_back(std::move(room));
  }
}

// Problems of one kind, one line per value, the rows listed.
struct RowsByValue {
  std::vector<std::string> order;
  std::map<std::string, std::vector<int32_t>> rows;
  void add(const std::string& value, int32_t row) {
    auto [it, added] = rows.try_emplace(value);
    if (added) order.push_back(value);
    it->second.push_back(row);
  }
};

}  // namespace

bool IsMark(const host::Variant& cell) {
  if (cell.is_empty() || cell.is_error()) return false;
  if (cell.is_bool()) return cell.as_bool();
  if (cell.is_number()) return cell.as_number() != 0;
  std::string t = Trimmed(cell.to_text());
  for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return !(t.empty() || t == "否" || t == "×" || t == "无" || t == "0" || t == "FALSE");
}

int32_t FindRoom(const std::vector<Room>& rooms, const std::string& name) {
  for (size_t i = 0; i < rooms.size(); ++i)
    if (rooms[i].name == name) return static_cast<int32_t>(i);
  double wanted = 0;
  if (!host::parse_decimal(name, &wanted, true)) return -1;
  for (size_t i = 0; i < rooms.size(); ++i) {
    double d = 0;
    if (host::parse_decimal(rooms[i].name, &d, true) && d == wanted) return static_cast<int32_t>(i);
  }
  return -1;
}

ExamData ReadExamData(host::Workbook& data_book, const Timetable& timetable,
                      const std::string& keep_apart) {
  ExamData data;
  host::Worksheets sheets = data_book.worksheets();
  for (const char* name : {kRoomSheet, kExamineeSheet})
    if (!sheets::SheetExists(sheets, name)) {
      data.problems.push_back({ProblemLevel::Error, name, 0, "", "",
                               std::string("数据工作簿中没有“") + name + "”：请先补上这张表"});
    }
  if (!data.problems.empty()) return data;
  ReadRooms(sheets.item(kRoomSheet), data);

  host::Worksheet& sheet = sheets.item(kExamineeSheet);
  const host::Rect table = sheet.current_region(1, 1);
  data.examinee_columns = table.col2;
  data.examinee_rows = std::max(table.row2 - 1, 0);
  data.number_col = sheets::FindHeaderColumn(sheet, 1, sheets::kExamNumberHeading);
  data.room_col =
      sheets::FindHeaderColumn(sheet, 1, sheets::kAssignmentHeadings[sheets::kAssignedRoom]);
  data.seat_col =
      sheets::FindHeaderColumn(sheet, 1, sheets::kAssignmentHeadings[sheets::kAssignedSeatNumber]);
  // Before 编排考号 who sits which paper can still be read and checked.
  data.arranged = data.number_col != 0 && data.room_col != 0 && data.seat_col != 0;
  const int32_t group_col = keep_apart.empty() ? 0 : sheets::FindHeaderColumn(sheet, 1, keep_apart);

  // Columns that are the examinee's own: not written by 编排考号 (the
  // assignment and count columns) nor by an earlier session run.
  std::vector<int32_t> own_columns;
  for (int32_t c = 1; c <= table.col2; ++c) {
    const std::string h = sheet.cell_value(1, c).to_text();
    bool written = false;
    for (const char* a : sheets::kAssignmentHeadings) written = written || h == a;
    for (const sheets::GroupCount& g : {sheets::kSchoolCount, sheets::kGradeCount,
                                        sheets::kClassCount, sheets::kClassCountAlternative})
      written = written || h == g.count;
    for (const Paper& p : timetable.papers)
      written = written || h == p.subject + sheets::kPaperRoomSuffix ||
                h == p.subject + sheets::kPaperSeatSuffix;
    if (!written) own_columns.push_back(c);
  }
  std::unordered_map<std::string, int32_t> room_of_name;
  std::vector<int32_t> no_number;
  std::unordered_map<std::string, int32_t> group_of;
  data.examinees.reserve(static_cast<size_t>(data.examinee_rows));
  for (int32_t r = 2; r <= table.row2; ++r) {
    // A row of nothing but what 编排考号 wrote is a spare place it left
    // below the examinees, not an examinee.
    bool spare = !own_columns.empty();
    for (size_t k = 0; k < own_columns.size() && spare; ++k)
      spare = Trimmed(sheet.cell_value(r, own_columns[k]).to_text()).empty();
    if (spare) continue;
    Examinee e;
    e.row = r;
    if (data.arranged) {
      e.number = Trimmed(sheet.cell_value(r, data.number_col).to_text());
      if (e.number.empty()) {
        no_number.push_back(r);
        continue;
      }
      e.seat = sheet.cell_value(r, data.seat_col).to_text();
      const std::string room = sheet.cell_value(r, data.room_col).to_text();
      auto [it, added] = room_of_name.try_emplace(room, -1);
      if (added) it->second = FindRoom(data.rooms, room);
      e.room = it->second;
    }
    if (group_col != 0) {
      const std::string g = sheet.cell_value(r, group_col).to_text();
      if (!g.empty())
        e.group = group_of.try_emplace(g, static_cast<int32_t>(group_of.size())).first->second;
    }
    data.examinees.push_back(std::move(e));
  }
  if (!no_number.empty())
    data.problems.push_back({ProblemLevel::Error, kExamineeSheet, no_number.front(), "考号", "",
                             "考生表" + RowList(no_number) +
                                 "没有考号（考场座位不够？）：请先让编排考号排下每一名考生"});
  std::stable_sort(data.examinees.begin(), data.examinees.end(),
                   [](const Examinee& a, const Examinee& b) { return a.number < b.number; });
  std::vector<int32_t> seated(data.rooms.size(), 0);
  for (Examinee& e : data.examinees)
    if (e.room >= 0) e.slot = seated[e.room]++;

  // Who sits which paper.
  const size_t P = timetable.papers.size();
  const int32_t N = static_cast<int32_t>(data.examinees.size());
  data.rule.assign(P, SittingRule::Everybody);
  data.rule_column.assign(P, 0);
  data.sitters.assign(P, {});
  const int32_t elective_col = sheets::FindElectiveColumn(sheet);
  std::vector<std::string> other_names;  // papers that are no subject kelv knows (日语)
  for (const Paper& p : timetable.papers)
    if (sheets::CanonicalSubject(p.key).empty()) other_names.push_back(p.key);
  std::vector<std::vector<std::string>> listed(elective_col != 0 ? N : 0);
  RowsByValue unreadable, unknown;
  if (elective_col != 0) {
    std::unordered_map<std::string, sheets::SubjectList> read;
    std::map<std::string, bool> is_paper;
    for (const Paper& p : timetable.papers) is_paper[p.key] = true;
    for (int32_t i = 0; i < N; ++i) {
      const int32_t r = data.examinees[i].row;
      const std::string text = sheet.cell_value(r, elective_col).to_text();
      auto [it, added] = read.try_emplace(text);
      if (added) it->second = sheets::ReadSubjectList(text, other_names);
      if (!it->second.unreadable.empty()) unreadable.add(text, r);
      for (const std::string& s : it->second.subjects)
        if (!is_paper.count(s)) unknown.add(s, r);
      listed[i] = it->second.subjects;
    }
  }
  const std::string elective_heading =
      elective_col != 0 ? sheet.cell_value(1, elective_col).to_text() : std::string();
  for (size_t p = 0; p < P; ++p) {
    const Paper& paper = timetable.papers[p];
    std::vector<int32_t>& who = data.sitters[p];
    if (const int32_t col = sheets::FindHeaderColumn(sheet, 1, paper.subject); col != 0) {
      data.rule[p] = SittingRule::Marked;
      data.rule_column[p] = col;
      for (int32_t i = 0; i < N; ++i)
        if (IsMark(sheet.cell_value(data.examinees[i].row, col))) who.push_back(i);
      if (who.empty())
        data.problems.push_back(
            {ProblemLevel::Notice, sheets::kTimetableSheet, paper.row, sheets::kSubjectHeading,
             paper.subject,
             "“" + paper.subject + "”没有考生参加（考生表“" + paper.subject +
                 "”列里没有一个标记）：这一科不排考场；要考的考生请在这一列里填“是”或“√”"});
      continue;
    }
    if (elective_col != 0) {
      for (int32_t i = 0; i < N; ++i)
        if (std::find(listed[i].begin(), listed[i].end(), paper.key) != listed[i].end())
          who.push_back(i);
      // An elective nobody chose is sat by nobody, not by everybody.
      const bool elective = sheets::SubjectRank(paper.key) >= sheets::SubjectRank("物理") &&
                            !sheets::CanonicalSubject(paper.key).empty();
      if (!who.empty() || elective) {
        data.rule[p] = SittingRule::Listed;
        data.rule_column[p] = elective_col;
        if (who.empty())
          data.problems.push_back({ProblemLevel::Notice, sheets::kTimetableSheet, paper.row,
                                   sheets::kSubjectHeading, paper.subject,
                                   "“" + paper.subject + "”没有考生选考（考生表“" +
                                       elective_heading + "”列里没有一人写它）：这一科不排考场"});
        continue;
      }
    }
    for (int32_t i = 0; i < N; ++i) who.push_back(i);
  }
  for (const std::string& value : unreadable.order) {
    const std::vector<int32_t>& rows = unreadable.rows[value];
    std::string message = "考生表" + RowList(rows);
    message += "的" + elective_heading;
    message += "“" + value;
    message +=
        "”读不出来：请写科目的名称或简称（语 数 外/英 物 化 生 史 地 政 技），"
        "可以连写（物化生），也可以用空格、顿号或逗号分开";
    data.problems.push_back({ProblemLevel::Error, kExamineeSheet, rows.front(), elective_heading,
                             value, std::move(message)});
  }
  for (const std::string& subject : unknown.order) {
    const std::vector<int32_t>& rows = unknown.rows[subject];
    std::string message = "考生表" + RowList(rows);
    message += "的" + elective_heading;
    message += "有“" + subject;
    message += "”，场次表里却没有这一科：这些考生的“" + subject;
    message += "”不会排考场。请在场次表中加上这一科，或改正这些考生的" + elective_heading;
    data.problems.push_back({ProblemLevel::Error, kExamineeSheet, rows.front(), elective_heading,
                             subject, std::move(message)});
  }
  for (const Paper& paper : timetable.papers)
    for (const std::string& name : paper.room_names)
      if (FindRoom(data.rooms, name) < 0)
        data.problems.push_back({ProblemLevel::Error, sheets::kTimetableSheet, paper.row,
                                 sheets::kPaperRoomsHeading, name,
                                 "场次表第 " + std::to_string(paper.row) + " 行（" + paper.subject +
                                     "）的考场“" + name +
                                     "”不在考场表中：请写考场表第一列里的考场名"});

  data.papers_of.assign(static_cast<size_t>(N), {});
  for (size_t p = 0; p < P; ++p)
    for (int32_t i : data.sitters[p]) data.papers_of[i].push_back(static_cast<int32_t>(p));
  return data;
}

}  // namespace kelv::sessions
