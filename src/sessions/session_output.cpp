#include "sessions/session_output.h"

#include <algorithm>
#include <set>

#include "host/host_error.h"
#include "sessions/text.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::sessions {
namespace {

using host::Variant;
using sheets::kExamineeSheet;
using sheets::kRoomSheet;

constexpr int32_t kRowsPerWrite = 8192;  // rows of a block written in one call
constexpr const char* kText = "@";
constexpr const char* kGeneral = "General";

// The sheet of that name emptied of what an earlier run wrote, or a new one
// at the end of the workbook.
host::Worksheet& FreshSheet(host::Workbook& book, const char* name) {
  host::Worksheets sheets = book.worksheets();
  if (sheets::SheetExists(sheets, name)) {
    host::Worksheet& sheet = sheets.item(name);
    sheet.clear(sheet.used_rect());
    return sheet;
  }
  host::Worksheet& sheet = sheets.add_after(sheets.item(sheets.count() - 1));
  sheet.set_name(name);
  return sheet;
}

// Writes `values` (row by row, `columns` a row) from (first_row, 1) in
// blocks, reporting progress as `what`.
class BlockWriter {
 public:
  BlockWriter(host::Application& EA, host::Worksheet& sheet, int32_t columns, std::string what,
              int64_t total)
      : EA_(EA), sheet_(sheet), columns_(columns), what_(std::move(what)), total_(total) {
    block_.reserve(static_cast<size_t>(kRowsPerWrite) * columns);
  }
  void add(Variant v) {
    block_.push_back(std::move(v));
    if (block_.size() == static_cast<size_t>(kRowsPerWrite) * columns_) flush();
  }
  void flush() {
    if (block_.empty()) return;
    const auto rows = static_cast<int32_t>(block_.size() / columns_);
    sheet_.set_values(host::Rect{next_row_, 1, next_row_ + rows - 1, columns_}, block_);
    next_row_ += rows;
    done_ += rows;
    block_.clear();
    EA_.progress().report(what_, done_, total_);
  }

 private:
  host::Application& EA_;
  host::Worksheet& sheet_;
  int32_t columns_;
  std::string what_;
  int64_t total_;
  int64_t done_ = 0;
  int32_t next_row_ = 2;
  std::vector<Variant> block_;
};

void Headings(host::Worksheet& sheet, const std::vector<std::string>& headings) {
  std::vector<Variant> row(headings.begin(), headings.end());
  sheet.set_values(host::Rect{1, 1, 1, static_cast<int32_t>(headings.size())}, row);
  sheet.rows(1).font().set_color_index(sheets::kWrittenColorIndex);
}

// Gives a whole column a number format (General left alone), before its
// cells are written, so they take it as they are made.
void ColumnFormat(host::Worksheet& sheet, int32_t col, const std::string& format) {
  if (format.empty() || format == kGeneral) return;
  sheet.columns(col).set_number_format_local(format);
}

// The format of a timetable cell's column over the rows of one session.
void PaperFormat(host::Worksheet& sheet, int32_t col, int32_t first, int32_t last,
                 const CellCopy& cell) {
  if (last < first || cell.format.empty() || cell.format == kGeneral) return;
  sheet.set_number_format_local(host::Rect{first, col, last, col}, cell.format);
}

struct ExamineeFields {
  int32_t name = 0, school = 0, grade = 0, klass = 0;
};

ExamineeFields FieldsOf(host::Worksheet& examinees) {
  return {sheets::FindHeaderColumn(examinees, 1, "姓名"),
          sheets::FindHeaderColumn(examinees, 1, sheets::kSchoolCount.group),
          sheets::FindHeaderColumn(examinees, 1, sheets::kGradeCount.group),
          sheets::FindHeaderColumn(examinees, 1, sheets::kClassCount.group)};
}

std::string RoomKey(const Session& session, const Room& room) {
  return SessionLabel(session) + "-" + room.name;
}

// The first and last exam numbers of a session room.
std::pair<std::string, std::string> NumberRange(const SessionRoom& sr, const ExamData& data) {
  std::string first, last;
  for (const Seat& seat : sr.seats) {
    const std::string& n = data.examinees[seat.examinee].number;
    if (first.empty() || n < first) first = n;
    if (last.empty() || n > last) last = n;
  }
  return {first, last};
}

std::string PaperColumn(const Paper& paper, const char* suffix) {
  return paper.subject + suffix;
}

void WriteSeatingSheet(host::Application& EA, host::Workbook& book, const Timetable& timetable,
                       const ExamData& data, const ExamPlan& plan) {
  host::Worksheet& examinees = book.worksheets().item(kExamineeSheet);
  const ExamineeFields f = FieldsOf(examinees);
  std::vector<std::string> headings;
  for (std::string_view h : sheets::kSessionSeatingHeadings) {
    if ((h == "学校" && f.school == 0) || (h == "年级" && f.grade == 0) ||
        (h == "班级" && f.klass == 0))
      continue;
    headings.emplace_back(h);
  }
  int64_t total = 0;
  for (const PlannedSession& s : plan.sessions)
    for (const SessionRoom& sr : s.rooms) total += static_cast<int64_t>(sr.seats.size());
  if (total + 1 > host::kMaxRows)
    throw host::HostError::host(host::kRefused,
                                "场次安排有 " + Thousands(total) + " 行，超过一张工作表能放的行数");
  host::Worksheet& sheet = FreshSheet(book, sheets::kSessionSeatingSheet);
  const auto columns = static_cast<int32_t>(headings.size());
  const std::set<std::string> dated = {"场次", "日期", "开始", "结束"};
  for (int32_t c = 1; c <= columns; ++c)
    if (!dated.count(headings[c - 1])) ColumnFormat(sheet, c, kText);
  Headings(sheet, headings);
  auto column_of = [&](const char* h) {
    return static_cast<int32_t>(std::find(headings.begin(), headings.end(), h) - headings.begin()) +
           1;
  };

  // What each column holds, decided once rather than per cell.
  enum Field {
    kNumber,
    kName,
    kSchool,
    kGrade,
    kClass,
    kSession,
    kSubject,
    kDate,
    kStart,
    kEnd,
    kRoom,
    kLocation,
    kSeat,
    kKey
  };
  const std::vector<std::pair<const char*, Field>> fields = {
      {"考号", kNumber}, {"姓名", kName},    {"学校", kSchool},  {"年级", kGrade},
      {"班级", kClass},  {"场次", kSession}, {"科目", kSubject}, {"日期", kDate},
      {"开始", kStart},  {"结束", kEnd},     {"考场", kRoom},    {"考室", kLocation},
      {"座号", kSeat},   {"场次考场", kKey}};
  std::vector<Field> field_of;
  for (const std::string& h : headings)
    for (const auto& [name, field] : fields)
      if (h == name) field_of.push_back(field);

  BlockWriter out(EA, sheet, columns, "写入场次安排", total);
  int32_t row = 2;
  for (size_t s = 0; s < plan.sessions.size(); ++s) {
    const Session& session = timetable.sessions[s];
    for (const SessionRoom& sr : plan.sessions[s].rooms) {
      const Paper& paper = timetable.papers[sr.paper];
      const Room& room = data.rooms[sr.room];
      const Variant subject(paper.subject), room_name(room.name), location(room.location),
          key(RoomKey(session, room));
      const int32_t paper_first = row;
      for (const Seat& seat : sr.seats) {
        const Examinee& e = data.examinees[seat.examinee];
        for (Field field : field_of) {
          switch (field) {
            case kNumber:
              out.add(e.number);
              break;
            case kName:
              out.add(f.name ? examinees.cell_value(e.row, f.name) : Variant());
              break;
            case kSchool:
              out.add(examinees.cell_value(e.row, f.school));
              break;
            case kGrade:
              out.add(examinees.cell_value(e.row, f.grade));
              break;
            case kClass:
              out.add(examinees.cell_value(e.row, f.klass));
              break;
            case kSession:
              out.add(session.value);
              break;
            case kSubject:
              out.add(subject);
              break;
            case kDate:
              out.add(paper.date.value);
              break;
            case kStart:
              out.add(paper.start.value);
              break;
            case kEnd:
              out.add(paper.end.value);
              break;
            case kRoom:
              out.add(room_name);
              break;
            case kLocation:
              out.add(location);
              break;
            case kSeat:
              out.add(seat.seat);
              break;
            case kKey:
              out.add(key);
              break;
          }
        }
        ++row;
      }
      PaperFormat(sheet, column_of("日期"), paper_first, row - 1, paper.date);
      PaperFormat(sheet, column_of("开始"), paper_first, row - 1, paper.start);
      PaperFormat(sheet, column_of("结束"), paper_first, row - 1, paper.end);
    }
  }
  out.flush();
}

int32_t WriteRoomsSheet(host::Workbook& book, const Timetable& timetable, const ExamData& data,
                        const ExamPlan& plan) {
  host::Worksheet& sheet = FreshSheet(book, sheets::kSessionRoomsSheet);
  const std::vector<std::string> headings(std::begin(sheets::kSessionRoomsHeadings),
                                          std::end(sheets::kSessionRoomsHeadings));
  int32_t total = 0;
  for (const PlannedSession& s : plan.sessions) total += static_cast<int32_t>(s.rooms.size());
  const int32_t last_row = total + 1;
  for (int32_t c : {2, 6, 7, 9, 10, 11, 12}) ColumnFormat(sheet, c, kText);
  Headings(sheet, headings);
  std::vector<Variant> block;
  block.reserve(static_cast<size_t>(total) * headings.size());
  int32_t row = 2;
  for (size_t s = 0; s < plan.sessions.size(); ++s) {
    const Session& session = timetable.sessions[s];
    for (const SessionRoom& sr : plan.sessions[s].rooms) {
      const Paper& paper = timetable.papers[sr.paper];
      const Room& room = data.rooms[sr.room];
      const auto [first, last] = NumberRange(sr, data);
      for (Variant v : {session.value, Variant(paper.subject), paper.date.value, paper.start.value,
                        paper.end.value, Variant(room.name), Variant(room.location),
                        Variant(static_cast<int32_t>(sr.seats.size())), Variant(first),
                        Variant(last), Variant(room.invigilator_a), Variant(room.invigilator_b)})
        block.push_back(std::move(v));
      PaperFormat(sheet, 3, row, row, paper.date);
      PaperFormat(sheet, 4, row, row, paper.start);
      PaperFormat(sheet, 5, row, row, paper.end);
      ++row;
    }
  }
  if (total > 0)
    sheet.set_values(host::Rect{2, 1, last_row, static_cast<int32_t>(headings.size())}, block);
  return total;
}

// The "<科目>考场" and "<科目>座号" columns of 考生表, found or added at the
// table's right edge, and filled for every examinee row.
std::vector<std::string> WritePaperColumns(host::Workbook& book, const Timetable& timetable,
                                           const ExamData& data, const ExamPlan& plan) {
  host::Worksheet& examinees = book.worksheets().item(kExamineeSheet);
  const int32_t last_row = examinees.current_region(1, 1).row2;
  std::vector<std::string> written;
  for (int32_t p : plan.column_papers) {
    const Paper& paper = timetable.papers[p];
    std::vector<Variant> rooms(static_cast<size_t>(std::max(last_row - 1, 0)));
    std::vector<Variant> seats(rooms.size());
    for (const SessionRoom& sr : plan.sessions[paper.session].rooms) {
      if (sr.paper != p) continue;
      for (const Seat& seat : sr.seats) {
        const size_t at = static_cast<size_t>(data.examinees[seat.examinee].row - 2);
        rooms[at] = data.rooms[sr.room].name;
        seats[at] = seat.seat;
      }
    }
    for (const auto& [suffix, values] : {std::pair{sheets::kPaperRoomSuffix, &rooms},
                                         std::pair{sheets::kPaperSeatSuffix, &seats}}) {
      const std::string heading = PaperColumn(paper, suffix);
      int32_t col = sheets::FindHeaderColumn(examinees, 1, heading);
      if (col != 0) {
        examinees.columns(col).clear();
      } else {
        col = examinees.current_region(1, 1).col2 + 1;
      }
      examinees.cells(1, col).set_value(heading);
      examinees.columns(col).font().set_color_index(sheets::kWrittenColorIndex);
      examinees.columns(col).set_number_format_local(kText);
      if (!values->empty()) examinees.set_values(host::Rect{2, col, last_row, col}, *values);
      written.push_back(heading);
    }
  }
  return written;
}

}  // namespace

std::vector<SessionBook> PrepareSessionBooks(host::Application& EA, host::Workbook& data_book,
                                             const Timetable& timetable,
                                             std::vector<Problem>& problems) {
  std::vector<SessionBook> books(timetable.sessions.size());
  std::vector<std::string> missing(timetable.sessions.size());
  for (size_t s = 0; s < timetable.sessions.size(); ++s) {
    const std::string name = sheets::SessionBookName(data_book.name(), timetable.sessions[s].name);
    const std::string path = data_book.path() + "\\" + name;
    host::Workbook* book = nullptr;
    try {
      book = &EA.workbook(name);
    } catch (const host::HostError&) {
      try {
        book = &EA.workbooks().open(path);
      } catch (const host::HostError& e) {
        if (e.number() != host::kFileNotFound) throw;
        missing[s] = path;
        continue;
      }
    }
    if (!sheets::SheetExists(book->worksheets(), sheets::kSessionBookMarkSheet)) {
      problems.push_back(
          {ProblemLevel::Error, "", 0, "", name,
           "“数据”文件夹里已有“" + name + "”，却不是场次编排写的：请把它改名或移走，再编排场次"});
      continue;
    }
    books[s].book = book;
  }
  if (HasErrors(problems)) return {};
  for (size_t s = 0; s < books.size(); ++s)
    if (!missing[s].empty()) books[s].book = &EA.add_workbook(missing[s]);
  data_book.activate();
  return books;
}

OutputCounts WriteDataBookSheets(host::Application& EA, host::Workbook& data_book,
                                 const Timetable& timetable, const ExamData& data,
                                 const ExamPlan& plan) {
  OutputCounts counts;
  WriteSeatingSheet(EA, data_book, timetable, data, plan);
  counts.session_rooms = WriteRoomsSheet(data_book, timetable, data, plan);
  counts.paper_columns = WritePaperColumns(data_book, timetable, data, plan);
  return counts;
}

void WriteSessionBook(host::Application& EA, host::Workbook& book, host::Workbook& data_book,
                      const Timetable& timetable, const ExamData& data, const ExamPlan& plan,
                      int32_t s) {
  const Session& session = timetable.sessions[s];
  const PlannedSession& planned = plan.sessions[s];
  host::Worksheet& main_examinees = data_book.worksheets().item(kExamineeSheet);
  host::Worksheet& main_rooms = data_book.worksheets().item(kRoomSheet);

  // The marker first: a workbook of this name holds what this arrangement wrote.
  host::Worksheets sheets = book.worksheets();
  const bool fresh = !sheets::SheetExists(sheets, sheets::kSessionBookMarkSheet);
  host::Worksheet* examinee_sheet = nullptr;
  if (fresh && sheets.count() == 1 && !sheets::SheetExists(sheets, kExamineeSheet)) {
    examinee_sheet = &sheets.item(0);
    examinee_sheet->set_name(kExamineeSheet);
  } else {
    examinee_sheet = &FreshSheet(book, kExamineeSheet);
  }
  host::Worksheet& room_sheet = FreshSheet(book, kRoomSheet);
  host::Worksheet& marker = FreshSheet(book, sheets::kSessionBookMarkSheet);
  marker.set_values(host::Rect{1, 1, 2, 2}, {Variant("数据工作簿"), Variant(data_book.name()),
                                             Variant("场次"), Variant(session.name)});
  marker.set_visible(host::SheetVisibility::VeryHidden);

  // 考生表: the data workbook's columns, less the per-paper ones, then the
  // paper and its time.
  std::set<std::string> paper_columns;
  for (const Paper& p : timetable.papers) {
    paper_columns.insert(PaperColumn(p, sheets::kPaperRoomSuffix));
    paper_columns.insert(PaperColumn(p, sheets::kPaperSeatSuffix));
  }
  std::vector<int32_t> copied;  // columns of the data workbook's 考生表
  std::vector<std::string> headings;
  for (int32_t c = 1; c <= data.examinee_columns; ++c) {
    const std::string h = main_examinees.cell_value(1, c).to_text();
    if (paper_columns.count(h)) continue;
    copied.push_back(c);
    headings.push_back(h);
  }
  const int32_t kept = static_cast<int32_t>(headings.size());
  enum Added { kSession, kSubject, kDate, kStart, kEnd };
  const std::pair<const char*, Added> added[] = {
      {"场次", kSession}, {"科目", kSubject}, {"日期", kDate}, {"开始", kStart}, {"结束", kEnd}};
  std::vector<Added> appended;
  for (const auto& [h, what] : added)
    if (std::find(headings.begin(), headings.end(), h) == headings.end()) {
      headings.emplace_back(h);
      appended.push_back(what);
    }
  // Which kept column is which assignment column.
  std::vector<int32_t> assignment(static_cast<size_t>(kept), -1);
  for (int32_t k = 0; k < kept; ++k)
    for (int32_t a = 0; a < sheets::kAssignmentColumnCount; ++a)
      if (headings[k] == sheets::kAssignmentHeadings[a]) assignment[k] = a;

  int64_t total = 0;
  for (const SessionRoom& sr : planned.rooms) total += static_cast<int64_t>(sr.seats.size());
  for (int32_t k = 0; k < kept; ++k) {
    const std::string format = main_examinees.number_format(2, copied[k]);
    ColumnFormat(*examinee_sheet, k + 1, format == kGeneral ? kText : format);
  }
  for (size_t k = 0; k < appended.size(); ++k)
    if (appended[k] == kSubject)
      ColumnFormat(*examinee_sheet, kept + static_cast<int32_t>(k) + 1, kText);
  Headings(*examinee_sheet, headings);
  BlockWriter block(EA, *examinee_sheet, static_cast<int32_t>(headings.size()),
                    "写入" + sheets::SessionBookName(data_book.name(), session.name), total);
  int32_t row = 2;
  for (const SessionRoom& sr : planned.rooms) {
    const Paper& paper = timetable.papers[sr.paper];
    const Room& room = data.rooms[sr.room];
    const auto seated = static_cast<int32_t>(sr.seats.size());
    const Variant subject(paper.subject), room_name(room.name), location(room.location),
        invigilator_a(room.invigilator_a), invigilator_b(room.invigilator_b), places(seated);
    for (const Seat& seat : sr.seats) {
      const Examinee& e = data.examinees[seat.examinee];
      for (int32_t k = 0; k < kept; ++k) {
        switch (assignment[k]) {
          case sheets::kAssignedRoom:
            block.add(room_name);
            break;
          case sheets::kAssignedPlaces:
            block.add(places);
            break;
          case sheets::kAssignedLocation:
            block.add(location);
            break;
          case sheets::kAssignedInvigilatorA:
            block.add(invigilator_a);
            break;
          case sheets::kAssignedInvigilatorB:
            block.add(invigilator_b);
            break;
          case sheets::kAssignedSeatNumber:
            block.add(seat.seat);
            break;
          default:
            block.add(main_examinees.cell_value(e.row, copied[k]));
        }
      }
      for (Added what : appended) {
        switch (what) {
          case kSession:
            block.add(session.value);
            break;
          case kSubject:
            block.add(subject);
            break;
          case kDate:
            block.add(paper.date.value);
            break;
          case kStart:
            block.add(paper.start.value);
            break;
          case kEnd:
            block.add(paper.end.value);
            break;
        }
      }
      ++row;
    }
    const int32_t first = row - seated;
    for (size_t k = 0; k < appended.size(); ++k) {
      const auto col = static_cast<int32_t>(kept + k + 1);
      if (appended[k] == kDate) PaperFormat(*examinee_sheet, col, first, row - 1, paper.date);
      if (appended[k] == kStart) PaperFormat(*examinee_sheet, col, first, row - 1, paper.start);
      if (appended[k] == kEnd) PaperFormat(*examinee_sheet, col, first, row - 1, paper.end);
    }
  }
  block.flush();

  // 考场表: the session's rooms, the first seven columns in their places,
  // the data workbook's further room columns, then the paper.
  const host::Rect room_table = main_rooms.current_region(1, 1);
  std::vector<std::string> room_headings(std::begin(sheets::kRoomHeadings),
                                         std::end(sheets::kRoomHeadings));
  for (int32_t c = sheets::kRoomColumnCount + 1; c <= room_table.col2; ++c)
    room_headings.push_back(main_rooms.cell_value(1, c).to_text());
  room_headings.emplace_back("科目");
  const auto room_columns = static_cast<int32_t>(room_headings.size());
  const int32_t room_rows = static_cast<int32_t>(planned.rooms.size()) + 1;
  for (int32_t c : {sheets::kRoomNameColumn, sheets::kRoomLocationColumn,
                    sheets::kRoomFirstNumberColumn, sheets::kRoomLastNumberColumn, room_columns})
    ColumnFormat(room_sheet, c, kText);
  Headings(room_sheet, room_headings);
  std::vector<Variant> rooms_block;
  for (const SessionRoom& sr : planned.rooms) {
    const Room& room = data.rooms[sr.room];
    const auto [first, last] = NumberRange(sr, data);
    for (Variant v : {Variant(room.name), Variant(static_cast<int32_t>(sr.seats.size())),
                      Variant(room.location), Variant(room.invigilator_a),
                      Variant(room.invigilator_b), Variant(first), Variant(last)})
      rooms_block.push_back(std::move(v));
    for (int32_t c = sheets::kRoomColumnCount + 1; c <= room_table.col2; ++c)
      rooms_block.push_back(main_rooms.cell_value(room.row, c));
    rooms_block.emplace_back(timetable.papers[sr.paper].subject);
  }
  if (!planned.rooms.empty())
    room_sheet.set_values(host::Rect{2, 1, room_rows, room_columns}, rooms_block);
  examinee_sheet->activate();
}

}  // namespace kelv::sessions
