// The timetable 场次表 of a data workbook as the session arrangement reads
// it: one row per paper, rows with the same 场次 sat at the same time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/variant.h"
#include "host/workbook.h"
#include "sessions/problem.h"

namespace kelv::sessions {

// A cell as the timetable gives it, to be copied with its look: a date
// stays a date, a time a time.
struct CellCopy {
  host::Variant value;
  std::string format;  // the stored number format ("General" for none)
};

struct Paper {
  int32_t row = 0;      // on 场次表
  int32_t session = 0;  // index into Timetable::sessions
  std::string subject;  // 科目 as written
  std::string key;      // the subject it stands for (物 and 物理 alike), else as written
  CellCopy date, start, end;
  // The rooms the paper may use, as written in 考场 (split at 、 , ， ; ；
  // and spaces); empty: any room.
  std::vector<std::string> room_names;
  std::string remark;
};

struct Session {
  std::string name;             // 场次 as text
  host::Variant value;          // as written, so a number stays a number
  std::vector<int32_t> papers;  // indices into Timetable::papers, in row order
};

struct Timetable {
  bool present = false;  // the data workbook has a 场次表
  std::vector<Paper> papers;
  // Ascending when every 场次 is a number, else in the order they first
  // appear.
  std::vector<Session> sessions;
  // Missing headings, rows without 场次 or 科目, a subject twice: the
  // arrangement cannot start. Missing dates and times are notices.
  std::vector<Problem> problems;
};

// Reads 场次表 of the data workbook (absent: present false, nothing else).
// Headings are found by name in row 1; rows from 2 to the end of the
// table around A1 that are entirely empty are skipped.
Timetable ReadTimetable(host::Workbook& data_book);

// The session label used in names and keys: "第3场" for 3, the name itself
// for a 场次 that is no number ("物理").
std::string SessionLabel(const Session& session);

}  // namespace kelv::sessions
