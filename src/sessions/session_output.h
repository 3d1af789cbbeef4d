// Writing a planned exam back through the host: the sheets 场次安排 and
// 场次考场 and the per-paper columns of the data workbook, and one data
// workbook per 场次.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/workbook.h"
#include "sessions/exam_data.h"
#include "sessions/problem.h"
#include "sessions/session_settings.h"
#include "sessions/timetable.h"

namespace kelv::sessions {

// One examinee at one paper.
struct Seat {
  int32_t examinee = 0;  // index into ExamData::examinees
  int32_t paper = 0;     // index into Timetable::papers
  int32_t slot = 0;
  std::string seat;  // 座号 as written
  bool stayed = false;
};

// One room of one 场次.
struct SessionRoom {
  int32_t room = 0;         // index into ExamData::rooms
  int32_t paper = 0;        // the paper it holds
  std::vector<Seat> seats;  // in place order
};

struct PlannedSession {
  std::vector<SessionRoom> rooms;  // in 考场表 order
};

struct ExamPlan {
  std::vector<PlannedSession> sessions;  // as Timetable::sessions
  // Papers whose rooms and seats go into 考生表 columns: those not sat by
  // everybody, and those some examinee sits away from their main seat.
  std::vector<int32_t> column_papers;
};

// A per-session workbook to write: open already (an earlier run's, read
// from its file) or added new.
struct SessionBook {
  host::Workbook* book = nullptr;
};

// Finds or adds the workbook of each 场次 beside the data workbook,
// refusing (a problem, nothing added) a file of that name that no
// arrangement wrote. Call before writing anything.
std::vector<SessionBook> PrepareSessionBooks(host::Application& EA, host::Workbook& data_book,
                                             const Timetable& timetable,
                                             std::vector<Problem>& problems);

struct OutputCounts {
  int32_t session_rooms = 0;
  std::vector<std::string> paper_columns;
};

// Writes 场次安排, 场次考场 and the 考生表 columns into the data workbook.
OutputCounts WriteDataBookSheets(host::Application& EA, host::Workbook& data_book,
                                 const Timetable& timetable, const ExamData& data,
                                 const ExamPlan& plan);

// Fills the workbook of session `s`: its 考生表 (the data workbook's columns
// for that session's examinees, their room and seat of the session in the
// assignment columns) and 考场表 (its rooms), and the marker sheet.
void WriteSessionBook(host::Application& EA, host::Workbook& book, host::Workbook& data_book,
                      const Timetable& timetable, const ExamData& data, const ExamPlan& plan,
                      int32_t s);

}  // namespace kelv::sessions
