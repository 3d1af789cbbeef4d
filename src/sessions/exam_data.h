// The examinees and rooms of a data workbook as the session arrangement
// sees them after 编排考号: each examinee's exam number, main room and seat,
// and who sits which paper of the timetable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/workbook.h"
#include "sessions/problem.h"
#include "sessions/timetable.h"

namespace kelv::sessions {

struct Room {
  int32_t row = 0;  // on 考场表
  std::string name, location, invigilator_a, invigilator_b;
  int32_t places = 0;      // 场人; never below 0
  int32_t per_column = 0;  // 每列座数: seats stand S-shaped in columns of this length; 0: a row
  // Places of the rooms before it: where the main arrangement's cyclic seat
  // counter stood when it reached this room.
  int64_t places_before = 0;
};

struct Examinee {
  int32_t row = 0;     // on 考生表
  std::string number;  // 考号
  std::string seat;    // 座号 of the main arrangement, as written
  int32_t room = -1;   // main room, index into rooms; -1 when its 考场 names none
  int32_t slot = -1;   // place in the main room: its rank there by 考号
  int32_t group = -1;  // keep-apart group, -1 for none
};

// How the examinees of a paper were found.
enum class SittingRule : uint8_t {
  Marked,     // a 考生表 column headed with the 科目: a mark sits it
  Listed,     // named in the 选考科目 column
  Everybody,  // no column names it
};

struct ExamData {
  std::vector<Room> rooms;
  std::vector<Examinee> examinees;  // in 考号 order
  // Per paper of the timetable: the rule and the examinees who sit it
  // (indices into examinees, in 考号 order).
  std::vector<SittingRule> rule;
  std::vector<int32_t> rule_column;  // the column the rule read, 0 for Everybody
  std::vector<std::vector<int32_t>> sitters;
  // Per examinee, the papers they sit, in timetable order.
  std::vector<std::vector<int32_t>> papers_of;
  // Columns of 考生表 that the output copies.
  int32_t examinee_columns = 0;  // the table's width
  int32_t examinee_rows = 0;     // examinee rows (header excluded)
  int32_t number_col = 0, room_col = 0, seat_col = 0;
  // 考生表 has the exam numbers, rooms and seats of 编排考号; without them
  // the examinees are read with none, for the check.
  bool arranged = false;
  std::vector<Problem> problems;
};

// Reads 考场表 and 考生表 and decides who sits each paper of `timetable`
// (a paper whose 科目 heads a 考生表 column: those with a mark there, any
// value but 否, ×, 无, 0 or FALSE; else those whose 选考科目 names it, and
// nobody for an elective subject (物理 to 技术) none of them names; else
// everybody). `keep_apart` is the heading whose values are the groups
// ("" for none). Problems: examinees without an exam number, spellings it cannot read,
// subjects no paper has, a paper nobody sits, rooms of 场次表 that 考场表
// lacks.
ExamData ReadExamData(host::Workbook& data_book, const Timetable& timetable,
                      const std::string& keep_apart);

// True for a cell that marks an examinee as sitting the paper of its column.
bool IsMark(const host::Variant& cell);

// The room of 考场表 a name means: its exact name, else a number typed for
// a name like 03 (read as 3 from a cell of general format); -1 for none.
int32_t FindRoom(const std::vector<Room>& rooms, const std::string& name);

}  // namespace kelv::sessions
