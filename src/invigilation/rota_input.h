// Reading the rota's input from a data workbook: the teachers of 监考表;
// the rooms of one sitting (考场表, with the classes of the examinees
// 考生表 seats in each) or, when there is a 场次表, the rooms of every
// sitting (场次考场, with the classes 场次安排 puts in each); the names
// already typed into the rooms' 监考甲, 监考乙, … columns. Every problem
// that would stop the rota or make it wrong is named with its sheet, row
// and value; nothing is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/variant.h"
#include "host/workbook.h"
#include "invigilation/rota_model.h"

namespace kelv::invigilation {

enum class Severity : uint8_t {
  Error,   // the rota cannot be made until it is put right
  Notice,  // worth knowing; the rota goes ahead
};

struct InputProblem {
  Severity severity = Severity::Error;
  std::string sheet;  // "" when about no sheet in particular
  int32_t row = 0;    // 0: no particular row
  std::string heading;
  std::string value;
  std::string message;
  // An earlier step of the work (编排考号, 场次编排) is not done yet: the
  // rota cannot start, but the workbook is not wrong.
  bool earlier_step = false;
};

// A sitting's date and times as its first room's row has them, kept as
// values with their number formats so the output shows them as the
// school wrote them.
struct SittingTimes {
  host::Variant date, start, end;
  std::string date_format, start_format, end_format;
  std::string subjects;  // the sitting's papers, 、 between them
};

struct RotaInput {
  bool sessions = false;  // rooms of every sitting (场次考场), else 考场表
  RotaModel model;
  std::vector<SittingTimes> times;  // per sitting
  // The sheet the rooms' invigilators are written on, and the column of
  // each role on it (0: not there yet, appended when needed).
  std::string room_sheet;
  std::vector<int32_t> role_columns;
  std::vector<InputProblem> problems;

  bool usable() const;  // no Error among the problems
};

struct ReadOptions {
  // Names in the rooms' columns are not kept: every duty is drawn anew.
  bool fresh = false;
  Rules rules;  // only to tell which typed names break a rule
};

RotaInput ReadRota(host::Workbook& data_book, const ReadOptions& options);

}  // namespace kelv::invigilation
